# Looks for what the Python package needs: a Python 3 interpreter with its
# development files, NumPy importable by that interpreter, and pybind11.
# Sets KROMESH_PYTHON_FOUND.
#
# Debian's interpreter is the one python3-numpy and python3-distributed
# serve, so it is preferred to whatever python3 comes first on PATH (a
# pyenv or conda one) unless Python_EXECUTABLE names another.
if(NOT Python_EXECUTABLE AND EXISTS /usr/bin/python3)
  set(Python_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "Interpreter the Python package is built for")
endif()
set(KROMESH_PYTHON_FOUND OFF)
find_package(Python 3.8 COMPONENTS Interpreter Development.Module QUIET)
if(Python_FOUND)
  find_package(pybind11 CONFIG QUIET)
  execute_process(COMMAND ${Python_EXECUTABLE} -c "import numpy"
    RESULT_VARIABLE kromesh_numpy_rc OUTPUT_QUIET ERROR_QUIET)
  if(pybind11_FOUND AND kromesh_numpy_rc EQUAL 0)
    set(KROMESH_PYTHON_FOUND ON)
  endif()
endif()
if(NOT KROMESH_PYTHON_FOUND)
  message(STATUS "Python package left out (needs python3-dev, python3-numpy, pybind11-dev)")
endif()
