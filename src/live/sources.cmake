# The built-in synthesizer as an output device: the program's device list
# over the system's MIDI devices, and the queue to the render thread.
list(APPEND QF_PORTABLE_SOURCES
  live/message_queue.cpp
  live/live_device.cpp
  live/device_seam.cpp)
