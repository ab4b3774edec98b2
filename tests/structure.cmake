# The rooms of src/: portable ones include nothing of Windows, and no two
# rooms include each other in a circle.
if(NOT WIN32)
  find_program(QF_PYTHON3 python3 PATHS /usr/bin NO_DEFAULT_PATH)
  add_test(NAME structure_rooms_point_down
           COMMAND ${QF_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/structure/check_rooms.py ${CMAKE_SOURCE_DIR})
endif()
