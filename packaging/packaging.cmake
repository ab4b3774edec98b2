# Packaging: the help file qf.chm beside qf.exe in every Windows build, and in
# the 32-bit build the installer qf-setup.exe and the portable qf-portable.zip,
# both with the built-in synthesizer's SoundFont qf.sf2 and its licence.
# The 64-bit build makes an installer from the same script too, not to ship
# but to try the script out under Wine where 32-bit programs cannot run. The
# native build checks the contents of the 32-bit build's packages; each
# Windows build installs and uninstalls its installer for real under Wine.

set(QF_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(QF_HELP_DIR ${QF_PACKAGING_DIR}/help)
if(PROJECT_VERSION)
  set(QF_PACKAGE_VERSION ${PROJECT_VERSION})
else()
  set(QF_PACKAGE_VERSION 1.0.0)
endif()

if(WIN32)
  find_program(QF_CHMCMD chmcmd)
  file(GLOB QF_HELP_SOURCES CONFIGURE_DEPENDS
       ${QF_HELP_DIR}/*.htm ${QF_HELP_DIR}/*.css ${QF_HELP_DIR}/*.hhp
       ${QF_HELP_DIR}/*.hhc ${QF_HELP_DIR}/*.hhk ${QF_HELP_DIR}/*.png)
  set(QF_CHM ${CMAKE_BINARY_DIR}/qf.chm)
  if(QF_CHMCMD)
    add_custom_command(
      OUTPUT ${QF_CHM}
      COMMAND ${QF_HELP_DIR}/build-chm.sh ${QF_HELP_DIR} ${CMAKE_BINARY_DIR}/qf-help ${QF_CHM}
      DEPENDS ${QF_HELP_SOURCES} ${QF_HELP_DIR}/build-chm.sh
      COMMENT "Compiling the help file qf.chm"
      VERBATIM)
    add_custom_target(qf-help ALL DEPENDS ${QF_CHM})
  else()
    qf_missing_tool("chmcmd (package fp-utils) not found: qf.chm is not built")
  endif()

  set(QF_SF2 ${CMAKE_BINARY_DIR}/qf.sf2)
  set(QF_SF2_LICENSE ${CMAKE_BINARY_DIR}/qf.sf2-license.txt)
  if(TARGET qf AND TARGET qftool AND TARGET qf-soundfont AND QF_CHMCMD)
    find_program(QF_MAKENSIS makensis)
    set(QF_SETUP ${CMAKE_BINARY_DIR}/qf-setup.exe)
    set(QF_PORTABLE ${CMAKE_BINARY_DIR}/qf-portable.zip)
    if(QF_MAKENSIS)
      set(QF_NSIS_DEFINES
          -DQF_EXE=$<TARGET_FILE:qf> -DQF_TOOL=$<TARGET_FILE:qftool> -DQF_CHM=${QF_CHM}
          -DQF_SF2=${QF_SF2} -DQF_SF2_LICENSE=${QF_SF2_LICENSE}
          -DQF_OUTFILE=${QF_SETUP} -DQF_VERSION=${QF_PACKAGE_VERSION})
      if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
        list(APPEND QF_NSIS_DEFINES -DQF_TARGET=amd64-unicode)
      endif()
      if(EXISTS ${CMAKE_SOURCE_DIR}/resources/qf.ico)
        list(APPEND QF_NSIS_DEFINES -DQF_ICON=${CMAKE_SOURCE_DIR}/resources/qf.ico)
      endif()
      add_custom_command(
        OUTPUT ${QF_SETUP}
        COMMAND ${QF_MAKENSIS} -V2 -INPUTCHARSET UTF8 ${QF_NSIS_DEFINES}
                ${QF_PACKAGING_DIR}/qf.nsi
        DEPENDS qf qftool qf-soundfont ${QF_CHM} ${QF_SF2} ${QF_SF2_LICENSE} ${QF_PACKAGING_DIR}/qf.nsi
        COMMENT "Building the installer qf-setup.exe"
        VERBATIM)
      add_custom_target(qf-setup ALL DEPENDS ${QF_SETUP})
      # The installer run for real: a silent install into a fresh Wine prefix,
      # the program started through the file type, a silent uninstall.
      add_test(NAME packaging_install_and_uninstall
               COMMAND bash ${QF_PACKAGING_DIR}/tests/install-test.sh ${CMAKE_BINARY_DIR})
      set_tests_properties(packaging_install_and_uninstall PROPERTIES TIMEOUT 300)
    else()
      qf_missing_tool("makensis (package nsis) not found: qf-setup.exe is not built")
    endif()
  endif()
  if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND TARGET qf AND TARGET qftool AND TARGET qf-soundfont AND QF_CHMCMD)
    add_custom_command(
      OUTPUT ${QF_PORTABLE}
      COMMAND ${CMAKE_COMMAND} -E env CMAKE_COMMAND=${CMAKE_COMMAND}
              ${QF_PACKAGING_DIR}/make-portable.sh $<TARGET_FILE:qf> $<TARGET_FILE:qftool> ${QF_CHM}
              ${QF_SF2} ${QF_SF2_LICENSE}
              ${QF_PACKAGING_DIR}/portable-readme.txt ${CMAKE_BINARY_DIR}/portable ${QF_PORTABLE}
      DEPENDS qf qftool qf-soundfont ${QF_CHM} ${QF_SF2} ${QF_SF2_LICENSE} ${QF_PACKAGING_DIR}/portable-readme.txt
              ${QF_PACKAGING_DIR}/make-portable.sh
      COMMENT "Building the portable zip qf-portable.zip"
      VERBATIM)
    add_custom_target(qf-portable ALL DEPENDS ${QF_PORTABLE})
  endif()
else()
  # The help sources compile and hang together, checked on a fresh build of qf.chm.
  add_test(NAME packaging_help
           COMMAND ${QF_PACKAGING_DIR}/tests/check-packages.sh help
                   ${QF_HELP_DIR} ${CMAKE_BINARY_DIR}/help-check)
  set_tests_properties(packaging_help PROPERTIES SKIP_RETURN_CODE 77)

  # The packages of the 32-bit build; skipped while that build has not made them.
  set(QF_PACKAGE_DIR ${CMAKE_SOURCE_DIR}/build/i686 CACHE PATH
      "Build folder of the 32-bit program whose packages the tests check")
  add_test(NAME packaging_i686
           COMMAND ${QF_PACKAGING_DIR}/tests/check-packages.sh packages ${QF_PACKAGE_DIR})
  set_tests_properties(packaging_i686 PROPERTIES SKIP_RETURN_CODE 77)
endif()
