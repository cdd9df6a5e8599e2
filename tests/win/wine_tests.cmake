# The unit tests under Wine: one CTest entry per test file (each Wine start
# costs about half a second, too much for one entry per test), all sharing one
# Wine prefix with a wineserver kept running from the first to the last.
# The POSIX calls the tests make for their fixtures, in Windows form.
target_include_directories(unit_tests BEFORE PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/win/compat)
target_compile_options(unit_tests PRIVATE -include ${CMAKE_CURRENT_SOURCE_DIR}/win/compat/posix_compat.h)

set(WINE_RUN ${CMAKE_CURRENT_SOURCE_DIR}/win/wine-run.sh ${VEXELOR_WINEPREFIX})
add_test(NAME wine_start COMMAND ${WINE_RUN} --start)
add_test(NAME wine_stop COMMAND ${WINE_RUN} --stop)
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine LABELS "unit;wine" TIMEOUT 120)
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine LABELS "unit;wine")

foreach(source ${UNIT_SOURCES})
  if(NOT source MATCHES "/unit/")
    continue()
  endif()
  file(STRINGS ${source} lines REGEX "^(TEST|TEST_F|TEST_P|TYPED_TEST)\\(")
  set(suites "")
  foreach(line ${lines})
    string(REGEX REPLACE "^[A-Z_]+\\(([A-Za-z0-9_]+),.*" "\\1" suite "${line}")
    list(APPEND suites "${suite}.*:*/${suite}.*")
  endforeach()
  list(REMOVE_DUPLICATES suites)
  if(NOT suites)
    continue()
  endif()
  string(REPLACE ";" ":" filter "${suites}")
  get_filename_component(name ${source} NAME_WE)
  # The target name makes CTest run it through CMAKE_CROSSCOMPILING_EMULATOR.
  add_test(NAME win_${name} COMMAND unit_tests --gtest_filter=${filter} --gtest_brief=1)
  set_tests_properties(win_${name} PROPERTIES LABELS "unit;wine" FIXTURES_REQUIRED wine TIMEOUT 300
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endforeach()

# The programs as shipped: only system DLLs imported, and each with its own
# image library only. Runs once the Win32 back end builds the two programs.
if(TARGET vexelor AND TARGET vexelor-jpeg)
  find_program(MINGW_OBJDUMP NAMES ${CMAKE_OBJDUMP} x86_64-w64-mingw32-objdump REQUIRED)
  add_test(NAME win_programs_check
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win/check_exe.sh ${MINGW_OBJDUMP} $<TARGET_FILE:vexelor> $<TARGET_FILE:vexelor-jpeg>)
  set_tests_properties(win_programs_check PROPERTIES LABELS "unit;wine")
endif()
