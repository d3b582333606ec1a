# korva_library(name SOURCES ... DEPS ... [PRIVATE_DEPS ...] [WIDGETS]):
# one static library per subsystem folder. Only libraries that show windows
# or controls (WIDGETS) link Qt Widgets; the others need Qt Core alone.
function(korva_library name)
  cmake_parse_arguments(ARG "WIDGETS" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  if(ARG_WIDGETS)
    target_link_libraries(${name} PUBLIC Qt6::Widgets)
    target_precompile_headers(${name} REUSE_FROM korva_pch)
  else()
    target_link_libraries(${name} PUBLIC Qt6::Core)
    target_precompile_headers(${name} REUSE_FROM korva_pch_core)
  endif()
endfunction()

# korva_test(name SOURCES ... DEPS ...): a Qt Test executable run by CTest offscreen.
function(korva_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test Qt6::Widgets korva_testsupport ${ARG_DEPS})
  target_precompile_headers(${name} REUSE_FROM korva_pch)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KORVA_PROGRAM_DIR=${KORVA_PROGRAM_DIR}"
    TIMEOUT 600)
endfunction()
