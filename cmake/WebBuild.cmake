# Web build (emscripten): the saver as a WebAssembly module in a static page.
# build/web/ ends up with index.html, the loader vasken.js and vasken.wasm,
# which any static file server can serve; the tests run the module under
# Node and the page in headless Chromium.
set(WARNINGS -Wall -Wextra -Wshadow -Wno-unused-parameter)
add_compile_options(${WARNINGS})

# The pictures and waves come from the same generator as for the other
# builds. This build's compiler makes WebAssembly, so the generator is built
# apart with the host's compiler (as for the Windows builds) and run here.
include(${CMAKE_SOURCE_DIR}/cmake/HostTools.cmake)
set(EMBEDDED_SOURCE ${CMAKE_BINARY_DIR}/generated/embedded_resources.cpp)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/generated)
add_custom_command(OUTPUT ${EMBEDDED_SOURCE}
  COMMAND ${RESGEN} --embed ${EMBEDDED_SOURCE}
  DEPENDS ${RESGEN} host_tools
  COMMENT "Generating the built-in pictures and sounds")

set(PAGE_MAIN ${CMAKE_SOURCE_DIR}/host/main_web.cpp)
set(PAGE_PARTS ${WEB_SOURCES})
list(REMOVE_ITEM PAGE_PARTS ${PAGE_MAIN})

# No file system, no threads: the module only computes, and the page's
# script (host/page_web.js) does everything the browser is asked for.
# Bulk memory (every browser since 2021) makes memcpy and memset single
# instructions instead of loops.
set(MODULE_LINK_OPTIONS
  -O2 -sMODULARIZE=1 -sFILESYSTEM=0 -sALLOW_MEMORY_GROWTH=1 -sENVIRONMENT=web,node
  -sEXPORTED_RUNTIME_METHODS=HEAPU8,HEAP32,HEAPU32 --no-entry)

# The module comes twice: with WebAssembly SIMD, which sprites are drawn
# with 16 bytes at a time (a third off a tick), and without, for browsers
# that lack it. The page's script picks one; both share the one loader,
# which the two builds generate alike.
foreach(variant IN ITEMS plain simd)
  set(parts vasken_web_parts_${variant})
  set(flags -mbulk-memory)
  if(variant STREQUAL "simd")
    list(APPEND flags -msimd128)
  endif()
  add_library(${parts} STATIC ${CORE_SOURCES} ${MEMORY_SOURCES} ${POSIX_SOURCES} ${PAGE_PARTS} ${EMBEDDED_SOURCE})
  target_include_directories(${parts} PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(${parts} PUBLIC ${flags})
  target_link_options(${parts} INTERFACE ${flags} ${MODULE_LINK_OPTIONS})
endforeach()

add_executable(vasken ${PAGE_MAIN})
set_target_properties(vasken PROPERTIES SUFFIX .js LINK_DEPENDS ${CMAKE_SOURCE_DIR}/host/page_web.js)
target_link_libraries(vasken PRIVATE vasken_web_parts_plain)
target_link_options(vasken PRIVATE -sEXPORT_NAME=createVasken --extern-post-js ${CMAKE_SOURCE_DIR}/host/page_web.js)
add_executable(vasken_simd ${PAGE_MAIN})
set_target_properties(vasken_simd PROPERTIES SUFFIX .js RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/simd)
target_link_libraries(vasken_simd PRIVATE vasken_web_parts_simd)
target_link_options(vasken_simd PRIVATE -sEXPORT_NAME=createVasken)
add_custom_command(TARGET vasken_simd POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/simd/vasken_simd.wasm ${CMAKE_BINARY_DIR}/vasken-simd.wasm)
configure_file(${CMAKE_SOURCE_DIR}/resources/index.html ${CMAKE_BINARY_DIR}/index.html COPYONLY)

# The tests: the fixed-seed scene through the web back ends under Node, in
# both kinds of module, and the page itself in headless Chromium.
enable_testing()
foreach(variant IN ITEMS plain simd)
  add_executable(web_scenario_${variant} ${CMAKE_SOURCE_DIR}/tests/web/scenario_web.cpp)
  set_target_properties(web_scenario_${variant} PROPERTIES SUFFIX .js RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(web_scenario_${variant} PRIVATE vasken_web_parts_${variant})
  target_link_options(web_scenario_${variant} PRIVATE -sEXPORT_NAME=createScenario)
endforeach()

find_program(NODE NAMES node nodejs REQUIRED)
find_program(CHROMIUM NAMES chromium chromium-browser REQUIRED)
add_test(NAME web.scenario
  COMMAND ${NODE} --no-experimental-fetch ${CMAKE_SOURCE_DIR}/tests/web/scenario_test.js ${CMAKE_BINARY_DIR})
add_test(NAME web.page
  COMMAND ${NODE} --no-experimental-fetch ${CMAKE_SOURCE_DIR}/tests/web/page_test.js ${CMAKE_BINARY_DIR} ${CHROMIUM})
