# Installs the Python component into a scratch prefix and imports the
# package from there with the interpreter it was built for.
# Arguments: -DBIN=<build dir> -DWORK=<scratch dir> -DPYTHON=<interpreter> -DDEST=<install dir>
# -DSHARED=<BUILD_SHARED_LIBS>
file(REMOVE_RECURSE ${WORK})
if(IS_ABSOLUTE "${DEST}")
  set(ENV{DESTDIR} ${WORK})
  set(site ${WORK}${DEST})
else()
  set(site ${WORK}/${DEST})
endif()
# A shared build's module needs the library installed beside it as well.
if(SHARED)
  unset(component)
else()
  set(component --component python)
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BIN} --prefix ${WORK} ${component}
  RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
set(ENV{PYTHONPATH} ${site})
execute_process(COMMAND ${PYTHON} -c
  "import kromesh, kromesh.batch; print(kromesh.__file__); print(kromesh.area(kromesh.Surface([[0,0,0],[1,0,0],[0,1,0]], [[0,1,2]])))"
  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(rc OR NOT out MATCHES "^${site}/kromesh/__init__.py\n0.5\n")
  message(FATAL_ERROR "import from the installed package failed:\n${out}${err}")
endif()
