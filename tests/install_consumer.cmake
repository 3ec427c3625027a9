# Installs the built library and tool into a scratch prefix, then builds and runs against it:
# the example host and the README's example through find_package, the README's example with
# pkg-config alone, and the installed tool.
# Variables: BUILD_DIR, SOURCE_DIR, WORK_DIR, CXX, CXX_FLAGS, LINKER_FLAGS.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(rc)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}")
  endif()
endfunction()

run("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# The example host, through find_package.
run("configuring the host" ${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/host -B ${WORK_DIR}/host
    -DCMAKE_PREFIX_PATH=${prefix} "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}")
run("building the host" ${CMAKE_COMMAND} --build ${WORK_DIR}/host)
run("the host" ${WORK_DIR}/host/vorlane_host)

# The README's example, as a new user would copy it.
file(READ ${SOURCE_DIR}/README.md readme)
string(REGEX MATCH "```cpp\n([^`]*)```" block "${readme}")
if(NOT block)
  message(FATAL_ERROR "the README has no C++ example")
endif()
file(WRITE ${WORK_DIR}/readme/main.cpp "${CMAKE_MATCH_1}")
file(WRITE ${WORK_DIR}/readme/CMakeLists.txt [[
cmake_minimum_required(VERSION 3.25)
project(ReadmeExample LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 20)
find_package(Vorlane CONFIG REQUIRED)
add_executable(app main.cpp)
target_link_libraries(app PRIVATE Vorlane::vorlane)
]])
run("configuring the README example" ${CMAKE_COMMAND} -S ${WORK_DIR}/readme
    -B ${WORK_DIR}/readme/build -DCMAKE_PREFIX_PATH=${prefix} "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}")
run("building the README example with find_package" ${CMAKE_COMMAND} --build
    ${WORK_DIR}/readme/build)
run("the README example built with find_package" ${WORK_DIR}/readme/build/app)

# The same with pkg-config alone: the prefix is found from the .pc file's own place.
file(GLOB pc ${prefix}/lib*/pkgconfig/vorlane.pc ${prefix}/lib/*/pkgconfig/vorlane.pc)
if(NOT pc)
  message(FATAL_ERROR "vorlane.pc was not installed")
endif()
get_filename_component(pcdir ${pc} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pcdir})
execute_process(COMMAND pkg-config --cflags --libs vorlane RESULT_VARIABLE rc
                OUTPUT_VARIABLE pcflags OUTPUT_STRIP_TRAILING_WHITESPACE)
if(rc)
  message(FATAL_ERROR "pkg-config does not know vorlane")
endif()
string(REGEX MATCH "-I([^ ]+)" include "${pcflags}")
if(NOT EXISTS "${CMAKE_MATCH_1}/vorlane/vorlane.h")
  message(FATAL_ERROR "pkg-config names the wrong include folder: ${pcflags}")
endif()
separate_arguments(pcflags UNIX_COMMAND "${pcflags}")
separate_arguments(extra UNIX_COMMAND "${CXX_FLAGS} ${LINKER_FLAGS}")
run("building the README example with pkg-config" ${CXX} -std=c++20 ${extra}
    ${WORK_DIR}/readme/main.cpp -o ${WORK_DIR}/readme/app-pc ${pcflags})
run("the README example built with pkg-config" ${WORK_DIR}/readme/app-pc)

# The installed tool, where the library is installed beside it.
if(EXISTS ${prefix}/bin/vorlane)
  run("the installed tool" ${prefix}/bin/vorlane demo --size 248x351 -o ${WORK_DIR}/demo -q)
  if(NOT EXISTS ${WORK_DIR}/demo/demo-report.json)
    message(FATAL_ERROR "the installed tool wrote no report")
  endif()
endif()
