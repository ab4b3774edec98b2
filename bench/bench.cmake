# The playback timing benchmark (Windows only; not a test): build the target
# qf-playback-bench and run it as docs/PERFORMANCE.md shows.
if(WIN32 AND TARGET qfwin AND TARGET qfcapture)
  add_executable(qf-playback-bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/playback_bench.cpp
                 $<TARGET_OBJECTS:qfcapture>)
  target_link_libraries(qf-playback-bench PRIVATE qfwin)
  target_link_options(qf-playback-bench PRIVATE -static)
endif()

# The audio stream's reported latency with IAudioClient and IAudioClient3
# (Windows only; not a test), and the key-to-sound benchmark that drives the
# program (bench/key_latency.py): docs/PERFORMANCE.md shows how to run both.
if(WIN32 AND TARGET qfwin)
  add_executable(qf-audio-stream-bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/audio_stream_bench.cpp)
  target_link_libraries(qf-audio-stream-bench PRIVATE qfwin)
  target_link_options(qf-audio-stream-bench PRIVATE -static)
endif()

# The synthesizer's speed and memory beside FluidSynth (native, not a test):
# build the target qf-synth-bench in a Release build and run it as
# docs/PERFORMANCE.md shows.
if(NOT WIN32)
  add_executable(qf-synth-bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/synth_bench.cpp)
  target_link_libraries(qf-synth-bench PRIVATE qfcore)
endif()
