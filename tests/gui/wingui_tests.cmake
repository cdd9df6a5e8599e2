# The GUI tests of the Windows programs (label wingui): Python on the host
# drives vexelor.exe and vexelor-jpeg.exe under Wine, each test file in an X
# server of its own, with the inspector built here for Windows. They share
# the Wine prefix of the unit tests but run a wineserver of their own on
# their own X server: so they take turns with each other and come after the
# unit tests under Wine.
if(NOT (TARGET vexelor AND TARGET vexelor-jpeg))
  message(STATUS "Windows GUI tests left out: no vexelor/vexelor-jpeg targets")
  return()
endif()
add_executable(wininspect ${CMAKE_CURRENT_LIST_DIR}/wininspect.c)
target_link_libraries(wininspect PRIVATE user32)
find_program(PYTHON3 python3 REQUIRED)
file(GLOB WIN_GUI_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/test_win_*.py)
foreach(script ${WIN_GUI_TESTS})
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME wingui_${name} COMMAND ${PYTHON3} ${script})
  set_tests_properties(wingui_${name} PROPERTIES LABELS wingui TIMEOUT 300 RESOURCE_LOCK wineprefix
    ENVIRONMENT "VEXELOR_EXE=$<TARGET_FILE:vexelor>;VEXELOR_JPEG_EXE=$<TARGET_FILE:vexelor-jpeg>;WININSPECT_EXE=$<TARGET_FILE:wininspect>;VEXELOR_WINEPREFIX=${VEXELOR_WINEPREFIX};VEXELOR_SOURCE=${CMAKE_SOURCE_DIR}")
  if(TEST wine_stop)
    set_tests_properties(wingui_${name} PROPERTIES DEPENDS wine_stop)
  endif()
endforeach()
