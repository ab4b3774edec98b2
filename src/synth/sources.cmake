# The synthesizer: the SoundFont reader, the voices and the synth itself.
list(APPEND QF_PORTABLE_SOURCES
  synth/soundfont.cpp
  synth/voice.cpp
  synth/synth.cpp)
