# The GUI tests of the Windows programs (label wingui): Python on the host
# drives vexelor.exe and vexelor-jpeg.exe under Wine, each test file in an X
# server of its own, with the inspector built here for Windows. They share
# the Wine prefix of the unit tests and take turns with each other.
# Registered once the whole tree is read, so that the program targets exist.
function(vexelor_add_wingui_tests)
  if(NOT (TARGET vexelor AND TARGET vexelor-jpeg))
    message(STATUS "Windows GUI tests left out: no vexelor/vexelor-jpeg targets")
    return()
  endif()
  set(dir ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  add_executable(wininspect ${dir}/wininspect.c)
  target_link_libraries(wininspect PRIVATE user32)
  find_program(PYTHON3 python3 REQUIRED)
  file(GLOB scripts CONFIGURE_DEPENDS ${dir}/test_win_*.py)
  foreach(script ${scripts})
    get_filename_component(name ${script} NAME_WE)
    add_test(NAME wingui_${name} COMMAND ${PYTHON3} ${script})
    set_tests_properties(wingui_${name} PROPERTIES LABELS wingui TIMEOUT 300 RESOURCE_LOCK wineprefix
      ENVIRONMENT "VEXELOR_EXE=$<TARGET_FILE:vexelor>;VEXELOR_JPEG_EXE=$<TARGET_FILE:vexelor-jpeg>;WININSPECT_EXE=$<TARGET_FILE:wininspect>;VEXELOR_WINEPREFIX=${VEXELOR_WINEPREFIX};VEXELOR_SOURCE=${CMAKE_SOURCE_DIR}")
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL vexelor_add_wingui_tests)
