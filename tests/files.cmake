# The file formats seen from outside: independent MIDI readers (also for a
# song converted from jianpu), the qftool contract, and the fuzzing of the
# recording file reader.
if(NOT WIN32)
  find_program(QF_PYTHON3 python3 PATHS /usr/bin NO_DEFAULT_PATH)
  find_program(QF_PYTHON3 python3)
  if(QF_PYTHON3)
    add_test(NAME files_independent_midi_readers
             COMMAND ${QF_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/files/check_midi_readers.py
                     $<TARGET_FILE:qftool> ${CMAKE_CURRENT_BINARY_DIR}/files-readers)
    add_test(NAME files_jianpu_round_trip
             COMMAND ${QF_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/files/check_jianpu_round_trip.py
                     $<TARGET_FILE:qftool> ${CMAKE_CURRENT_BINARY_DIR}/files-jianpu)
  else()
    qf_missing_tool("python3 not found: the independent MIDI reader checks are left out")
  endif()
  add_test(NAME files_qftool_contract
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/files/qftool_contract.sh
                   $<TARGET_FILE:qftool> ${CMAKE_CURRENT_BINARY_DIR}/files-contract)

  # The fuzzer is built with clang beside the build; QF_FUZZ_SECONDS sets how
  # long it runs (20 s unless told otherwise).
  find_program(QF_CLANGXX NAMES clang++ clang++-14)
  if(QF_CLANGXX)
    add_test(NAME files_fuzz_recording_reader
             COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/files/fuzz.sh ${QF_CLANGXX} ${CMAKE_SOURCE_DIR}
                     ${CMAKE_CURRENT_BINARY_DIR}/fuzz)
    set_tests_properties(files_fuzz_recording_reader PROPERTIES TIMEOUT 3600 LABELS fuzz)
  else()
    qf_missing_tool("clang++ not found: the recording reader is not fuzzed")
  endif()
endif()

# The Windows qftool under Wine gives what the native one gives.
if(WIN32 AND TARGET qftool)
  set(QF_NATIVE_QFTOOL ${CMAKE_SOURCE_DIR}/build/native/qftool CACHE FILEPATH
      "The native qftool that the Windows one is compared with")
  add_test(NAME files_qftool_exe_matches_native
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/files/qftool_exe.sh ${QF_NATIVE_QFTOOL}
                   $<TARGET_FILE:qftool> ${CMAKE_CURRENT_BINARY_DIR}/qftool-exe)
endif()

# The synthesizer from outside: qftool render beside FluidSynth with the same
# General MIDI SoundFont (pitch and onset of every note), and the fuzzing of
# the SoundFont reader.
if(NOT WIN32)
  find_program(QF_FLUIDSYNTH fluidsynth)
  if(QF_PYTHON3 AND QF_FLUIDSYNTH AND EXISTS /usr/share/sounds/sf2/TimGM6mb.sf2)
    add_test(NAME files_render_against_fluidsynth
             COMMAND ${QF_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/files/check_render_against_fluidsynth.py
                     $<TARGET_FILE:qftool> ${CMAKE_CURRENT_BINARY_DIR}/files-render)
  else()
    qf_missing_tool("fluidsynth, python3 or /usr/share/sounds/sf2/TimGM6mb.sf2 missing: qftool render is not compared with FluidSynth")
  endif()
  if(QF_CLANGXX)
    add_test(NAME files_fuzz_soundfont_reader
             COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/files/fuzz.sh ${QF_CLANGXX} ${CMAKE_SOURCE_DIR}
                     ${CMAKE_CURRENT_BINARY_DIR}/fuzz-soundfont soundfont)
    set_tests_properties(files_fuzz_soundfont_reader PROPERTIES TIMEOUT 3600 LABELS fuzz)
  endif()
endif()
