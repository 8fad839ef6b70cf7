# Linux build: the X11 program `vasken` (an XScreenSaver hack) from the
# portable core, the memory drawing model and the X11, POSIX and ALSA back
# ends; its tests; and its installation where Debian's xscreensaver looks.
set(WARNINGS -Wall -Wextra -Wshadow -Wno-unused-parameter)
add_compile_options(${WARNINGS})

find_package(X11 REQUIRED)
find_package(ALSA REQUIRED)
find_package(Threads REQUIRED)
if(NOT X11_Xext_FOUND)
  message(FATAL_ERROR "vasken needs libXext (MIT-SHM): install libxext-dev")
endif()

# The pattern pictures and waves come from the same generator as the
# Windows image's resources, as a source file built into the program.
add_subdirectory(${CMAKE_SOURCE_DIR}/tools/resgen ${CMAKE_BINARY_DIR}/tools/resgen)
set(EMBEDDED_SOURCE ${CMAKE_BINARY_DIR}/generated/embedded_resources.cpp)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/generated)
add_custom_command(OUTPUT ${EMBEDDED_SOURCE}
  COMMAND resgen --embed ${EMBEDDED_SOURCE}
  DEPENDS resgen
  COMMENT "Generating the built-in pictures and sounds")

set(PROGRAM_MAIN ${CMAKE_SOURCE_DIR}/host/main_x11.cpp)
set(PROGRAM_PARTS ${LINUX_SOURCES} ${POSIX_SOURCES})
list(REMOVE_ITEM PROGRAM_PARTS ${PROGRAM_MAIN})

add_library(vasken_parts STATIC ${CORE_SOURCES} ${MEMORY_SOURCES} ${PROGRAM_PARTS} ${EMBEDDED_SOURCE})
target_include_directories(vasken_parts PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(vasken_parts PUBLIC X11::X11 X11::Xext ALSA::ALSA Threads::Threads)

add_executable(vasken ${PROGRAM_MAIN})
target_link_libraries(vasken PRIVATE vasken_parts)

# The places follow CMAKE_INSTALL_PREFIX: with /usr (scripts/build linux, the
# Debian package) they are the ones Debian's xscreensaver and MATE read.
include(GNUInstallDirs)
set(VASKEN_HACK_DIR ${CMAKE_INSTALL_FULL_LIBEXECDIR}/xscreensaver CACHE PATH "Where xscreensaver looks for its hacks")
set(VASKEN_CONFIG_DIR ${CMAKE_INSTALL_FULL_DATADIR}/xscreensaver/config CACHE PATH "Where xscreensaver's settings look for hack descriptions")
install(TARGETS vasken RUNTIME DESTINATION ${VASKEN_HACK_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/resources/vasken.xml DESTINATION ${VASKEN_CONFIG_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/resources/vasken.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${CMAKE_SOURCE_DIR}/resources/vasken-xscreensaver-add.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The desktop entry and the list command name the program by where it is
# installed; the daemon finds a program of its own hack directory by name.
if(VASKEN_HACK_DIR STREQUAL "/usr/libexec/xscreensaver")
  set(VASKEN_LIST_COMMAND "vasken --root")
else()
  set(VASKEN_LIST_COMMAND "${VASKEN_HACK_DIR}/vasken --root")
endif()
configure_file(${CMAKE_SOURCE_DIR}/resources/vasken.desktop.in ${CMAKE_BINARY_DIR}/vasken.desktop @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/resources/vasken-xscreensaver-add.in ${CMAKE_BINARY_DIR}/vasken-xscreensaver-add @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/vasken.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications/screensavers)
install(PROGRAMS ${CMAKE_BINARY_DIR}/vasken-xscreensaver-add DESTINATION ${CMAKE_INSTALL_BINDIR})

# Tests need GoogleTest; a package build switches them off.
option(BUILD_TESTING "Build the tests of the X11 program (needs GoogleTest)" ON)
if(NOT BUILD_TESTING)
  return()
endif()
enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)
file(GLOB LINUX_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/linux/*.cpp)
if(LINUX_TEST_SOURCES)
  add_executable(linux_tests ${LINUX_TEST_SOURCES})
  target_link_libraries(linux_tests PRIVATE vasken_parts GTest::gtest GTest::gtest_main)
  target_compile_definitions(linux_tests PRIVATE VASKEN_PROGRAM="$<TARGET_FILE:vasken>"
                                                 VASKEN_TEST_FILES="${CMAKE_BINARY_DIR}/test-files")
  add_dependencies(linux_tests vasken)
  gtest_discover_tests(linux_tests DISCOVERY_TIMEOUT 60)
endif()
