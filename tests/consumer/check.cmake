# Installs the built library into a scratch prefix, then configures, builds
# and runs a tiny project that finds it with find_package(kromesh).
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
if(NOT BUILD_TYPE)
  set(BUILD_TYPE Release)
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --install ${KROMESH_BINARY_DIR} --prefix ${prefix} --config ${BUILD_TYPE}
  RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${CONSUMER_SOURCE_DIR} -B ${WORK_DIR}/build
  -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=${BUILD_TYPE}
  RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "consumer configure failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/build RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "consumer build failed: ${rc}")
endif()
execute_process(COMMAND ${WORK_DIR}/build/consumer RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(rc)
  message(FATAL_ERROR "consumer run failed: ${rc}\n${out}")
endif()
message(STATUS "consumer says: ${out}")
