# qx_add_test(<name> LABEL unit|e2e SOURCES <file>...
#             [LIBS <lib>...] [INCLUDES <dir>...] [DEFINES <def>...] [DEPENDS <target>...]
#             [PLUGINS qxsm|qxSer...] [GBK] [OWN_MAIN])
#
# One GoogleTest executable of the suite, its cases discovered under the label given.
#   LIBS      linked besides GoogleTest (GTest::gtest_main, or GTest::gtest with OWN_MAIN for a
#             test that brings its own main)
#   INCLUDES  include directories; DEFINES compile definitions; DEPENDS targets built first
#   PLUGINS   the built plug-ins the test loads with dlopen: each is built first and its path
#             handed over as QXSM_PATH / QXSER_PATH
#   GBK       the test's own texts compiled to GBK, as the library's are
function(qx_add_test name)
  cmake_parse_arguments(T "GBK;OWN_MAIN" "LABEL"
    "SOURCES;LIBS;INCLUDES;DEFINES;DEPENDS;PLUGINS" ${ARGN})
  if(NOT T_LABEL OR NOT T_SOURCES)
    message(FATAL_ERROR "qx_add_test(${name}): LABEL and SOURCES are required")
  endif()
  add_executable(${name} ${T_SOURCES})
  if(T_INCLUDES)
    target_include_directories(${name} PRIVATE ${T_INCLUDES})
  endif()
  if(T_GBK)
    target_compile_options(${name} PRIVATE ${QX_GBK_FLAGS})
  endif()
  if(T_OWN_MAIN)
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  endif()
  foreach(plugin ${T_PLUGINS})
    if(plugin STREQUAL "qxsm")
      target_compile_definitions(${name} PRIVATE QXSM_PATH="$<TARGET_FILE:qxsm>")
    elseif(plugin STREQUAL "qxSer")
      target_compile_definitions(${name} PRIVATE QXSER_PATH="$<TARGET_FILE:qxSer>")
    else()
      message(FATAL_ERROR "qx_add_test(${name}): unknown plug-in ${plugin}")
    endif()
    add_dependencies(${name} ${plugin})
  endforeach()
  if(T_DEFINES)
    target_compile_definitions(${name} PRIVATE ${T_DEFINES})
  endif()
  if(T_DEPENDS)
    add_dependencies(${name} ${T_DEPENDS})
  endif()
  gtest_discover_tests(${name} PROPERTIES LABELS ${T_LABEL})
endfunction()
