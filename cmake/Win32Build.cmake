# Windows build: the freestanding saver image, and the shell test executable
# that runs under Wine through scripts/lib/wine-run.
enable_language(RC)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(WINE_BITS 64)
else()
  set(WINE_BITS 32)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/lib/wine-run;${WINE_BITS})

set(WARNINGS -Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type)
file(GLOB RESOURCE_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.rc)
set(GENERATED_RESOURCE_DIR ${CMAKE_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${GENERATED_RESOURCE_DIR})

# The pictures, sounds and icon come from our own generator (tools/resgen).
# This build's compiler makes Windows programs, so the tools are built apart
# with the host's compiler and run here; the resource scripts name the files.
include(${CMAKE_SOURCE_DIR}/cmake/HostTools.cmake)
set(GENERATED_RESOURCES ${GENERATED_RESOURCE_DIR}/vasken32.ico)
foreach(i RANGE 0 24)
  list(APPEND GENERATED_RESOURCES ${GENERATED_RESOURCE_DIR}/SPPAT_R${i}.bmp)
endforeach()
foreach(i RANGE 0 2)
  list(APPEND GENERATED_RESOURCES ${GENERATED_RESOURCE_DIR}/WAVDAT${i}.wav)
endforeach()
add_custom_command(OUTPUT ${GENERATED_RESOURCES}
  COMMAND ${RESGEN} ${GENERATED_RESOURCE_DIR}
  DEPENDS ${RESGEN} host_tools
  COMMENT "Generating the pictures, sounds and icon")
add_custom_target(generated_resources DEPENDS ${GENERATED_RESOURCES})

# The image: no C runtime, no libstdc++, imports from the five system DLLs only.
set(IMAGE_COMPILE_FLAGS
  ${IMAGE_ARCH_FLAGS} -O2 -ffreestanding -fno-exceptions -fno-rtti
  -fno-asynchronous-unwind-tables -fno-threadsafe-statics -fno-stack-protector
  -fno-builtin-malloc ${WARNINGS})
add_executable(vasken32 WIN32 ${CORE_SOURCES} ${WIN32_SOURCES} ${IMAGE_SOURCES} ${RESOURCE_SCRIPTS})
set_target_properties(vasken32 PROPERTIES OUTPUT_NAME vasken32 SUFFIX .scr)
target_include_directories(vasken32 PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(vasken32 PRIVATE VASKEN_IMAGE=1 WIN32_LEAN_AND_MEAN)
target_compile_options(vasken32 PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${IMAGE_COMPILE_FLAGS}>)
target_link_options(vasken32 PRIVATE
  -nostdlib -nostartfiles -static
  -Wl,-e,${IMAGE_ENTRY}
  -Wl,--subsystem,windows:4.0
  -Wl,--major-os-version,4 -Wl,--minor-os-version,0
  -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0
  -Wl,--disable-runtime-pseudo-reloc
  -s)
set_target_properties(vasken32 PROPERTIES LINK_LIBRARIES "")
target_link_libraries(vasken32 PRIVATE kernel32 user32 gdi32 winmm advapi32 gcc)
set(RC_INCLUDES -I${CMAKE_SOURCE_DIR}/resources -I${GENERATED_RESOURCE_DIR})
set_source_files_properties(${RESOURCE_SCRIPTS} PROPERTIES COMPILE_OPTIONS "${RC_INCLUDES}"
  OBJECT_DEPENDS "${GENERATED_RESOURCES}")
add_dependencies(vasken32 generated_resources)

# The shell tests: the same core and shell sources with the ordinary runtime,
# GoogleTest, linked statically so no runtime DLL is needed under Wine.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB SHELL_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win32/*.cpp)
add_executable(shell_tests ${SHELL_TEST_SOURCES} ${CORE_SOURCES} ${WIN32_SOURCES} ${RESOURCE_SCRIPTS})
target_include_directories(shell_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(shell_tests PRIVATE VASKEN_SHELL_TESTS=1 WIN32_LEAN_AND_MEAN)
target_compile_options(shell_tests PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${WARNINGS}>)
target_link_options(shell_tests PRIVATE -static -static-libgcc -static-libstdc++)
target_link_libraries(shell_tests PRIVATE gtest user32 gdi32 winmm advapi32 psapi)
add_dependencies(shell_tests vasken32 generated_resources)

# Test stand-ins for the platform's optional password modules, PASSWORD.CPL
# (VerifyScreenSavePwd) and MPR.DLL (PwdChangePasswordA). The password-hook
# tests copy them next to a copy of the image; they take their orders from
# and record their calls in the test prefix's registry. Exports carry their
# plain names (--kill-at), as the image looks them up by name.
foreach(module IN ITEMS password_cpl mpr_dll)
  add_library(test_${module} SHARED ${CMAKE_SOURCE_DIR}/tests/win32/modules/${module}.cpp)
  target_include_directories(test_${module} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(test_${module} PRIVATE WIN32_LEAN_AND_MEAN)
  target_link_options(test_${module} PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--kill-at)
  target_link_libraries(test_${module} PRIVATE user32 advapi32)
  set_target_properties(test_${module} PROPERTIES PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test_modules)
  add_dependencies(shell_tests test_${module})
endforeach()
set_target_properties(test_password_cpl PROPERTIES OUTPUT_NAME PASSWORD SUFFIX .CPL)
set_target_properties(test_mpr_dll PROPERTIES OUTPUT_NAME MPR SUFFIX .DLL)
include(GoogleTest)
gtest_add_tests(TARGET shell_tests SOURCES ${SHELL_TEST_SOURCES} WORKING_DIRECTORY ${CMAKE_BINARY_DIR})

# Static checks of the shipping (32-bit) image; they need no Wine.
if(WINE_BITS EQUAL 32)
add_test(NAME image.imports
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/image/check_imports.sh $<TARGET_FILE:vasken32>
          ${CMAKE_SOURCE_DIR}/tests/image/allowed_imports.txt)
add_test(NAME image.headers
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/image/check_headers.sh $<TARGET_FILE:vasken32> ${WINE_BITS})

# Check programs built with the image's compiler and flags, linked with the
# image's memory functions and nothing else, and run as bare i386 processes
# under user-mode emulation (skipped without it).
function(add_i486_check name)
  add_executable(${name} ${ARGN} ${CMAKE_SOURCE_DIR}/support/memory_image.cpp)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${IMAGE_COMPILE_FLAGS})
  target_link_options(${name} PRIVATE -nostdlib -nostartfiles -Wl,-e,_start)
  set_target_properties(${name} PROPERTIES LINK_LIBRARIES "")
  add_test(NAME image.${name} COMMAND bash ${CMAKE_SOURCE_DIR}/tests/image/run_i486.sh $<TARGET_FILE:${name}>)
  set_tests_properties(image.${name} PROPERTIES SKIP_RETURN_CODE 77)
endfunction()
# The formation's long-run checksum from x87 code.
add_i486_check(formation_i486 ${CMAKE_SOURCE_DIR}/tests/image/formation_i486_main.cpp
  ${CMAKE_SOURCE_DIR}/formation/formation.cpp ${CMAKE_SOURCE_DIR}/support/random.cpp
  ${CMAKE_SOURCE_DIR}/support/float_control.cpp)
# The image's memcpy/memset/memmove bodies with 32-bit words.
add_i486_check(block_copy_i486 ${CMAKE_SOURCE_DIR}/tests/image/block_copy_i486_main.cpp)
endif()
