# Shared build helpers. Each area's CMakeLists only names its sources.
include(GoogleTest)

find_package(GTest REQUIRED)

# kavro_test(<name> [REAL_TIME] SOURCES ... LIBS ...): one GoogleTest program, registered with
# CTest. REAL_TIME marks programs whose tests run other processes against the wall clock (sensor
# simulators on pseudo-terminals): they run alone, so a loaded machine cannot starve them.
# Test programs and benchmarks compile the shared test sources from here.
set(KAVRO_TEST_SUPPORT ${CMAKE_SOURCE_DIR}/tests/support)

function(kavro_test name)
  cmake_parse_arguments(T "REAL_TIME" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  # Shared test support is included as "support/...".
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/bench)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    KAVRO_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}/tests"
    KAVRO_BIN_DIR="${KAVRO_BIN_DIR}")
  # The label lets scripts/test.sh give only these tests a second run. Test discovery splits a
  # list value into separate arguments, so ENVIRONMENT holds one variable only (a second one
  # turned every property after it into garbage, RUN_SERIAL included); tests find their sources
  # through the KAVRO_TEST_SOURCE_DIR definition.
  set(timing RUN_SERIAL FALSE)
  if(T_REAL_TIME)
    set(timing RUN_SERIAL TRUE LABELS REAL_TIME)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen
               ${timing})
endfunction()

# kavro_fuzzer(<name> SOURCES ... LIBS ...): a libFuzzer target, built only with KAVRO_FUZZ.
function(kavro_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT KAVRO_FUZZ)
    return()
  endif()
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  # One target builds every fuzzer and the event files the document fuzzer loads, and nothing else.
  if(NOT TARGET kavro_fuzzers)
    add_custom_target(kavro_fuzzers)
    add_dependencies(kavro_fuzzers kavro_events)
  endif()
  add_dependencies(kavro_fuzzers ${name})
endfunction()

# kavro_bench(<name> SOURCES ... LIBS ...): a Google Benchmark program in build/bench.
function(kavro_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark benchmark::benchmark_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/bench)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

# Adds every immediate subfolder of the current folder that has a CMakeLists.txt, in name order.
function(kavro_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# kavro_trainer_part(<library>): a static library of the trainer program (frame parts, dialogs,
# views). The program links every part whole, so views that register themselves from static
# initialisers are not dropped by the linker.
function(kavro_trainer_part lib)
  set_property(GLOBAL APPEND PROPERTY KAVRO_TRAINER_PARTS ${lib})
endfunction()

# kavro_include_root(<target> <prefix> <folder>): lets <target> and its users include the headers
# of <folder> as "<prefix>/...". The include folder lies in the build tree and holds nothing but a
# link <prefix> -> <folder>, so no other module's folder becomes visible, as it would through the
# repository root (platform/ and device/ both have serial/ and usb/).
function(kavro_include_root target prefix folder)
  set(root ${CMAKE_BINARY_DIR}/include/${prefix})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${folder} ${root}/${prefix} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
endfunction()
