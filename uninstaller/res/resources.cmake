# Resources of unqiv.exe, included by uninstaller/CMakeLists.txt: on the
# target side the icon is drawn with the setup program's icon maker before
# windres compiles unqiv.rc. Nothing to do on the host side.
if(QIV_SIDE STREQUAL "target")
  include(${CMAKE_CURRENT_LIST_DIR}/../../installer/res/icon.cmake)
  qiv_icon(unqiv.rc ${CMAKE_CURRENT_LIST_DIR}/unqiv.icon.txt unqiv.ico)
endif()
