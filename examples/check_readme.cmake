# Fails when the README's copy of an example differs from the example file.
# Arguments: -DREADME=<path> -DEXAMPLE=<path>
file(READ ${README} readme)
file(READ ${EXAMPLE} example)
get_filename_component(name ${EXAMPLE} NAME)
string(FIND "${readme}" "<!-- example:${name} -->\n```cpp\n${example}```" at)
if(at EQUAL -1)
  message(FATAL_ERROR "README.md does not hold the current text of ${name}")
endif()
