# The host tools (tools/, among them resgen) for builds whose compiler is a
# cross compiler (Windows, web): built apart with the host's compiler, so
# that this build can run them. Sets RESGEN to the generator's path; rules
# that run it depend on it and on the target host_tools.
include(ExternalProject)
set(HOST_TOOLS_DIR ${CMAKE_BINARY_DIR}/host-tools)
set(RESGEN ${HOST_TOOLS_DIR}/resgen/resgen)
ExternalProject_Add(host_tools
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools
  BINARY_DIR ${HOST_TOOLS_DIR}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${HOST_TOOLS_DIR} -j 2
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${RESGEN})
