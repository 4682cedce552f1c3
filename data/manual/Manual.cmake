# The user manual: data/manual/manual.txt built into Manual.pdf (with its
# outline) by build_manual.py, which needs Debian's python3-reportlab
# (scripts/install-deps.sh installs it). The system's python is asked first:
# a python of the user's own may lack the package.
find_program(MARVESTO_MANUAL_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(NOT MARVESTO_MANUAL_PYTHON)
  find_program(MARVESTO_MANUAL_PYTHON NAMES python3)
endif()
# Cached so the tests of other folders see them.
set(MARVESTO_MANUAL_FILE ${PROJECT_BINARY_DIR}/data/manual/Manual.pdf CACHE INTERNAL "")
set(MARVESTO_MANUAL_BUILT OFF CACHE INTERNAL "")
if(MARVESTO_MANUAL_PYTHON)
  execute_process(COMMAND ${MARVESTO_MANUAL_PYTHON} -c "import reportlab"
                  RESULT_VARIABLE manual_reportlab OUTPUT_QUIET ERROR_QUIET)
  if(manual_reportlab EQUAL 0)
    set(MARVESTO_MANUAL_BUILT ON CACHE INTERNAL "")
  endif()
endif()
if(MARVESTO_MANUAL_BUILT)
  file(GLOB manual_strings CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/strings/Localizable/*.json)
  add_custom_command(OUTPUT ${MARVESTO_MANUAL_FILE}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/data/manual
      COMMAND ${MARVESTO_MANUAL_PYTHON} ${PROJECT_SOURCE_DIR}/data/manual/build_manual.py
              ${PROJECT_SOURCE_DIR}/data/manual/manual.txt ${PROJECT_SOURCE_DIR}/data/strings/Localizable
              ${MARVESTO_MANUAL_FILE}
      DEPENDS ${PROJECT_SOURCE_DIR}/data/manual/build_manual.py ${PROJECT_SOURCE_DIR}/data/manual/manual.txt
              ${manual_strings}
      COMMENT "Building the user manual"
      VERBATIM)
  add_custom_target(marvesto_manual ALL DEPENDS ${MARVESTO_MANUAL_FILE})
  install(FILES ${MARVESTO_MANUAL_FILE} DESTINATION share/marvesto-lg)
else()
  message(WARNING "python3-reportlab is missing: the user manual is not built")
  add_custom_target(marvesto_manual)
endif()
