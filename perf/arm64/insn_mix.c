/* A qemu-user TCG plugin for aarch64 guests: counts executed instructions by
 * class, decoded from the A64 instruction words, and prints at exit
 *
 *   mix: total T vector V scalar_fp F load L store S other O
 *
 * Classes (each instruction in exactly one):
 *   load, store  every load/store encoding (general and SIMD&FP registers,
 *                pairs, structures, literals, exclusives, atomics);
 *   vector       Advanced SIMD data processing on 64- or 128-bit vectors;
 *   scalar_fp    floating-point data processing on scalar registers, the
 *                Advanced SIMD scalar forms (one lane) and FP <-> integer moves
 *                and conversions;
 *   other        integer data processing, branches, system instructions.
 * Counting is inline: per translated block, one add for each class present,
 * so emulation slows down little. Built against the qemu-plugin.h of
 * Debian's qemu source package (scripts/arm64-perf-tools.sh).
 */
#include <inttypes.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <qemu-plugin.h>

QEMU_PLUGIN_EXPORT int qemu_plugin_version = QEMU_PLUGIN_VERSION;

enum { VECTOR, SCALAR_FP, LOAD, STORE, OTHER, CLASSES };
static const char *const class_names[CLASSES] = {"vector", "scalar_fp", "load", "store", "other"};
static uint64_t counts[CLASSES];

static unsigned bits(uint32_t w, int hi, int lo) { return (w >> lo) & ((1u << (hi - lo + 1)) - 1); }

/* Store for a load/store encoding (bits 27 = 1, 25 = 0), else load. */
static int load_or_store(uint32_t w) {
  const unsigned op = bits(w, 29, 27);
  if (op == 3 && bits(w, 24, 24) == 0) return LOAD;  /* literal (and prefetch) */
  if (op == 7 && bits(w, 26, 26) == 0) {              /* register forms, general registers */
    if (bits(w, 24, 24) == 0 && bits(w, 21, 21) == 1 && bits(w, 11, 10) == 0)
      return LOAD;                                    /* atomic read-modify-write */
    return bits(w, 23, 22) == 0 ? STORE : LOAD;       /* opc 00 stores; 1x sign-extending loads */
  }
  /* Pairs, SIMD&FP register forms, structures, exclusives: L is bit 22. */
  return bits(w, 22, 22) ? LOAD : STORE;
}

static int classify(uint32_t w) {
  if (bits(w, 27, 27) == 1 && bits(w, 25, 25) == 0) return load_or_store(w);
  if (bits(w, 27, 25) == 7)  /* scalar FP and Advanced SIMD data processing */
    return bits(w, 28, 28) == 0 ? VECTOR : SCALAR_FP;
  return OTHER;
}

static void tb_trans(qemu_plugin_id_t id, struct qemu_plugin_tb *tb) {
  (void)id;
  uint64_t n[CLASSES] = {0};
  const size_t insns = qemu_plugin_tb_n_insns(tb);
  for (size_t i = 0; i < insns; ++i) {
    const struct qemu_plugin_insn *insn = qemu_plugin_tb_get_insn(tb, i);
    uint32_t w = 0;
    if (qemu_plugin_insn_size(insn) == sizeof w) memcpy(&w, qemu_plugin_insn_data(insn), sizeof w);
    ++n[classify(w)];
  }
  for (int c = 0; c < CLASSES; ++c)
    if (n[c] != 0) qemu_plugin_register_vcpu_tb_exec_inline(tb, QEMU_PLUGIN_INLINE_ADD_U64, &counts[c], n[c]);
}

static void at_exit(qemu_plugin_id_t id, void *user) {
  (void)id;
  (void)user;
  uint64_t total = 0;
  for (int c = 0; c < CLASSES; ++c) total += counts[c];
  char line[256];
  int len = snprintf(line, sizeof line, "mix: total %" PRIu64, total);
  for (int c = 0; c < CLASSES; ++c)
    len += snprintf(line + len, sizeof line - (size_t)len, " %s %" PRIu64, class_names[c], counts[c]);
  snprintf(line + len, sizeof line - (size_t)len, "\n");
  qemu_plugin_outs(line);
}

QEMU_PLUGIN_EXPORT int qemu_plugin_install(qemu_plugin_id_t id, const qemu_info_t *info, int argc,
                                           char **argv) {
  (void)argc;
  (void)argv;
  if (strcmp(info->target_name, "aarch64") != 0) return -1;
  qemu_plugin_register_vcpu_tb_trans_cb(id, tb_trans);
  qemu_plugin_register_atexit_cb(id, at_exit, NULL);
  return 0;
}
