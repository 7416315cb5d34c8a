# Resources of qiv98.exe, included by installer/CMakeLists.txt on both sides:
# the host side builds the icon maker, the target side draws the icon with it
# before windres compiles qiv98.rc.
if(QIV_SIDE STREQUAL "host")
  add_executable(mkicon ${CMAKE_CURRENT_LIST_DIR}/mkicon.cpp)
  target_compile_options(mkicon PRIVATE -Wall -Wextra)
  set_target_properties(mkicon PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QIV_HOST_TOOLS_DIR})
  set_property(GLOBAL APPEND PROPERTY QIV_HOST_TOOL_TARGETS mkicon)
else()
  include(${CMAKE_CURRENT_LIST_DIR}/icon.cmake)
  qiv_icon(qiv98.rc ${CMAKE_CURRENT_LIST_DIR}/qiv98.icon.txt qiv98.ico)
endif()
