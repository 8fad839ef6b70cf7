# Native build: portable core + native back ends, unit tests, tools,
# benchmarks and fuzz targets.
option(VASKEN_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(VASKEN_FUZZ "Build the libFuzzer targets (needs clang)" OFF)

set(WARNINGS -Wall -Wextra -Wshadow -Wno-unused-parameter)
add_compile_options(${WARNINGS})
if(VASKEN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(VASKEN_FUZZ)
  # Coverage feedback for the fuzzers comes from the core they exercise.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

add_library(vasken_core STATIC ${CORE_SOURCES} ${MEMORY_SOURCES} ${STUB_SOURCES})
target_include_directories(vasken_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(vasken_core PUBLIC VASKEN_NATIVE=1)

find_package(GTest REQUIRED)
include(GoogleTest)
file(GLOB NATIVE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/native/*.cpp)
add_executable(core_tests ${NATIVE_TEST_SOURCES})
target_link_libraries(core_tests PRIVATE vasken_core GTest::gtest GTest::gtest_main)
gtest_discover_tests(core_tests DISCOVERY_TIMEOUT 60)

# The shipping image does its double arithmetic on the x87 unit (-march=i486)
# and cannot run on a 64-bit-only kernel. As a proxy, the formation and its
# long-run scenario are built once more with x87 arithmetic; the test sets the
# control word the image's entry sets (53-bit precision) and must reproduce the
# checksum of the SSE build.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|i.86)$")
  add_executable(formation_x87_tests
    ${CMAKE_SOURCE_DIR}/tests/x87/formation_x87_test.cpp
    ${CMAKE_SOURCE_DIR}/formation/formation.cpp
    ${CMAKE_SOURCE_DIR}/support/random.cpp
    ${CMAKE_SOURCE_DIR}/support/float_control.cpp
    ${CMAKE_SOURCE_DIR}/support/clock_stub.cpp)
  target_include_directories(formation_x87_tests PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(formation_x87_tests PRIVATE VASKEN_NATIVE=1)
  target_compile_options(formation_x87_tests PRIVATE -mfpmath=387)
  target_link_libraries(formation_x87_tests PRIVATE GTest::gtest)
  gtest_discover_tests(formation_x87_tests DISCOVERY_TIMEOUT 60)
endif()

file(GLOB TOOL_DIRS CONFIGURE_DEPENDS LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/tools/*)
foreach(dir IN LISTS TOOL_DIRS)
  if(EXISTS ${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endforeach()

file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
find_package(benchmark QUIET)
if(BENCH_SOURCES AND benchmark_FOUND AND NOT VASKEN_SANITIZE)
  add_executable(vasken_bench ${BENCH_SOURCES})
  target_link_libraries(vasken_bench PRIVATE vasken_core benchmark::benchmark benchmark::benchmark_main)
  # The scene benchmark draws with the generated pattern images.
  target_link_libraries(vasken_bench PRIVATE resgen_lib)
endif()

if(VASKEN_FUZZ)
  file(GLOB FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*.cpp)
  foreach(src IN LISTS FUZZ_SOURCES)
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE vasken_core)
  endforeach()
endif()
