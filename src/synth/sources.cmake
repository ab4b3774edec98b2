# The synthesizer: the SoundFont reader, the voices, the effects and the synth itself.
list(APPEND QF_PORTABLE_SOURCES
  synth/soundfont.cpp
  synth/voice.cpp
  synth/reverb.cpp
  synth/chorus.cpp
  synth/synth.cpp)
