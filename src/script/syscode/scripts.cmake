# The built-in system code and validation code are script files in this
# folder, compiled into tw_script as a generated source file.
set(_tw_syscode_dir ${CMAKE_CURRENT_LIST_DIR})
set(_tw_syscode_cpp ${CMAKE_BINARY_DIR}/generated/tarnwick/builtin_scripts_text.cpp)
add_custom_command(
  OUTPUT ${_tw_syscode_cpp}
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${_tw_syscode_cpp} -DCOUNT=2
          -DNAME_1=kSystemCode -DFILE_1=${_tw_syscode_dir}/system.vbs
          -DNAME_2=kValidateCode -DFILE_2=${_tw_syscode_dir}/validate.vbs
          -P ${_tw_syscode_dir}/embed.cmake
  DEPENDS ${_tw_syscode_dir}/system.vbs ${_tw_syscode_dir}/validate.vbs ${_tw_syscode_dir}/embed.cmake
  COMMENT "Embedding the built-in system and validation scripts"
  VERBATIM)
target_sources(tw_script PRIVATE ${_tw_syscode_cpp})
