# qiv_icon(RC_FILE DRAWING ICO_NAME), target side: draws ICO_NAME from the
# pixel drawing DRAWING with the host tool mkicon, and lets the resource
# script RC_FILE of the calling directory find it (windres -I) and be
# compiled again when it changes.
function(qiv_icon rc drawing ico)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/res)
  add_custom_command(
    OUTPUT ${dir}/${ico}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${QIV_HOST_TOOLS_DIR}/mkicon ${drawing} ${dir}/${ico}
    DEPENDS ${drawing} ${QIV_HOST_TOOLS_DIR}/mkicon
    COMMENT "Drawing ${ico}"
    VERBATIM)
  set_source_files_properties(${rc} PROPERTIES
    INCLUDE_DIRECTORIES ${dir}
    OBJECT_DEPENDS ${dir}/${ico})
endfunction()
