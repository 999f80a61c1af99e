# Turns the built-in script files into a C++ source file with one raw string
# literal per script, so the program carries them and never looks for them at
# run time. Run in script mode:
#   cmake -DOUTPUT=<file.cpp> -DCOUNT=<n> -DNAME_1=<name> -DFILE_1=<path> ... -P embed.cmake
# Each script becomes `extern const char* const <name>` in namespace
# tw::builtin_scripts; its text is copied byte for byte.
if(NOT OUTPUT OR NOT COUNT)
  message(FATAL_ERROR "embed.cmake needs OUTPUT and COUNT")
endif()

set(delimiter "tw_script_text")
set(body "// Generated from the built-in script files; do not edit.\n")
string(APPEND body "namespace tw::builtin_scripts {\n")
foreach(i RANGE 1 ${COUNT})
  set(name "${NAME_${i}}")
  set(path "${FILE_${i}}")
  file(READ "${path}" text)
  string(FIND "${text}" ")${delimiter}\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${path} contains the raw string delimiter )${delimiter}\"")
  endif()
  string(APPEND body "extern const char* const ${name};\n")
  string(APPEND body "const char* const ${name} = R\"${delimiter}(${text})${delimiter}\";\n")
endforeach()
string(APPEND body "}  // namespace tw::builtin_scripts\n")

file(WRITE "${OUTPUT}" "${body}")
