# Unused code in the product is an error: functions, variables and constants,
# parameters, variables and parameters that are only ever set, and local
# typedefs; with clang also function templates, member functions of local
# classes, private fields, lambda captures, and functions that are referenced
# only where no code is emitted for them. The tests, perf/ and third-party
# code keep the ordinary warnings.
#
# A helper that the compiler must be able to report is not marked inline in a
# .cpp file: GCC reports no unused inline function, and neither compiler an
# unused function template with external linkage.
set(MORLANT_UNUSED_CODE_ERRORS
  -Werror=unused-function
  -Werror=unused-variable
  -Werror=unused-parameter
  -Werror=unused-but-set-variable
  -Werror=unused-but-set-parameter
  -Werror=unused-local-typedefs)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # Level 1: constants defined in the .cpp file itself, not in the headers it
  # includes (a header's constant may serve only some of its includers).
  list(APPEND MORLANT_UNUSED_CODE_ERRORS -Werror=unused-const-variable=1)
elseif(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  list(APPEND MORLANT_UNUSED_CODE_ERRORS
    -Werror=unused-const-variable
    -Werror=unused-template
    -Werror=unused-member-function
    -Werror=unused-private-field
    -Werror=unused-lambda-capture
    -Werror=unneeded-internal-declaration)
endif()

# morlant_unused_code_errors(dir...): applies those errors to the C++ sources
# of every target defined in the given source directories and in the
# directories below them. Called once the directories have been added.
function(morlant_unused_code_errors)
  foreach(dir IN LISTS ARGN)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      if(NOT type STREQUAL "INTERFACE_LIBRARY")
        target_compile_options(${target} PRIVATE "$<$<COMPILE_LANGUAGE:CXX>:${MORLANT_UNUSED_CODE_ERRORS}>")
      endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    morlant_unused_code_errors(${subdirs})
  endforeach()
endfunction()
