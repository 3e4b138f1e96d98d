# Windows: the programs' version resources, and a check that every program
# source compiles for Windows where no Qt for Windows is at hand.

# tarnwick_version_resource(TARGET DESCRIPTION): a version resource for TARGET's
# .exe from the project version. Generated everywhere, so the check below sees it.
function(tarnwick_version_resource target description)
  set(rc_name ${target})
  set(rc_description ${description})
  set(rc ${PROJECT_BINARY_DIR}/generated/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/tarnwick.rc.in ${rc} @ONLY)
  set_property(GLOBAL APPEND PROPERTY TARNWICK_VERSION_RESOURCES ${rc})
  if(WIN32)
    target_sources(${target} PRIVATE ${rc})
  endif()
endfunction()

# windows_syntax (CTest, label windows): mingw-w64 in syntax-only mode over every
# program source with the Linux build's flags and warnings as errors (see
# windows_syntax_check.py for what it checks and what it cannot), and windres
# over the version resources.
function(tarnwick_windows_syntax_test)
  if(WIN32)
    return()
  endif()
  find_program(TARNWICK_MINGW_CXX NAMES x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-g++)
  find_program(TARNWICK_MINGW_WINDRES NAMES x86_64-w64-mingw32-windres)
  find_package(Python3 COMPONENTS Interpreter)
  if(NOT TARNWICK_MINGW_CXX OR NOT TARNWICK_MINGW_WINDRES OR NOT Python3_FOUND)
    add_test(NAME windows_syntax COMMAND sh -c
      "echo 'windows_syntax: skipped: needs mingw-w64 (g++-mingw-w64-x86-64) and python3'; exit 77")
    set_tests_properties(windows_syntax PROPERTIES SKIP_RETURN_CODE 77 LABELS windows)
    return()
  endif()
  get_property(resources GLOBAL PROPERTY TARNWICK_VERSION_RESOURCES)
  add_test(NAME windows_syntax COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/cmake/windows_syntax_check.py
    ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR} ${TARNWICK_MINGW_CXX} ${TARNWICK_MINGW_WINDRES} ${resources})
  set_tests_properties(windows_syntax PROPERTIES LABELS windows TIMEOUT 1800)
endfunction()
