message(STATUS "cli")
