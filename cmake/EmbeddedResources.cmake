# The built-in pictures and sounds as one generated source file, for the
# builds that link them into the program (x11, web) rather than into a
# resource script (win32).
#
# embed_resources(VARIABLE GENERATOR [DEPENDS...]) adds the rule that runs
# GENERATOR --embed (resgen, built in this tree or apart with the host's
# compiler) and sets VARIABLE to the file's path. The rule belongs to the
# directory that calls it, so a target of that directory must list the file.
function(embed_resources variable generator)
  set(source ${CMAKE_BINARY_DIR}/generated/embedded_resources.cpp)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/generated)
  add_custom_command(OUTPUT ${source}
    COMMAND ${generator} --embed ${source}
    DEPENDS ${ARGN}
    COMMENT "Generating the built-in pictures and sounds")
  set(${variable} ${source} PARENT_SCOPE)
endfunction()
