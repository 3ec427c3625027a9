# Installs the built library into a scratch prefix, then configures, builds and runs the
# example host against it through find_package.
# Variables: BUILD_DIR, SOURCE_DIR, WORK_DIR, CXX_FLAGS, LINKER_FLAGS.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(rc)
  message(FATAL_ERROR "install failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/host -B ${WORK_DIR}/host
                        -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix
                        "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
                        "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}"
                RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "configuring the host failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/host RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "building the host failed")
endif()
execute_process(COMMAND ${WORK_DIR}/host/vorlane_host RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "the host failed")
endif()
file(GLOB pc ${WORK_DIR}/prefix/lib*/pkgconfig/vorlane.pc)
if(NOT pc)
  message(FATAL_ERROR "vorlane.pc was not installed")
endif()
