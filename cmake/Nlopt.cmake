# NLopt, the optimiser of the lab's `fit`, built from Debian's source package for this build
# alone: natively and with the MinGW toolchain alike, with the project's float flags, so that
# both builds search with the same code and the same arithmetic. Debian has no NLopt for MinGW;
# scripts/fetch-nlopt.sh fetches the source once into a cache folder. Defines the imported
# target pellix_nlopt.
include(ExternalProject)

execute_process(COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/fetch-nlopt.sh
                OUTPUT_VARIABLE nlopt_source OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE nlopt_fetched)
if(NOT nlopt_fetched EQUAL 0 OR NOT EXISTS ${nlopt_source}/CMakeLists.txt)
  message(FATAL_ERROR "NLopt's source could not be fetched: scripts/fetch-nlopt.sh needs apt-get "
                      "and Debian's package archive (scripts/install-deps.sh runs it)")
endif()

set(nlopt_prefix ${CMAKE_BINARY_DIR}/nlopt)
set(nlopt_library ${nlopt_prefix}/lib/${CMAKE_STATIC_LIBRARY_PREFIX}nlopt${CMAKE_STATIC_LIBRARY_SUFFIX})
# The flags of CMakeLists.txt that decide how doubles are computed, and nothing else of ours.
set(nlopt_flags "-ffp-contract=off -fno-math-errno")
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  string(APPEND nlopt_flags " -msse2 -mfpmath=sse")
endif()
set(nlopt_args
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=${nlopt_prefix} -DCMAKE_INSTALL_LIBDIR=lib
  -DCMAKE_C_COMPILER=${CMAKE_C_COMPILER} -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER}
  -DCMAKE_C_FLAGS=${nlopt_flags} -DCMAKE_CXX_FLAGS=${nlopt_flags}
  -DBUILD_SHARED_LIBS=OFF -DNLOPT_CXX=OFF -DNLOPT_FORTRAN=OFF -DNLOPT_PYTHON=OFF
  -DNLOPT_OCTAVE=OFF -DNLOPT_MATLAB=OFF -DNLOPT_GUILE=OFF -DNLOPT_SWIG=OFF -DNLOPT_TESTS=OFF)
if(CMAKE_TOOLCHAIN_FILE)
  list(APPEND nlopt_args -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE})
endif()
ExternalProject_Add(nlopt_build
  SOURCE_DIR ${nlopt_source}
  BINARY_DIR ${nlopt_prefix}/build
  INSTALL_DIR ${nlopt_prefix}
  CMAKE_ARGS ${nlopt_args}
  BUILD_BYPRODUCTS ${nlopt_library}
  EXCLUDE_FROM_ALL ON
  LOG_CONFIGURE ON LOG_BUILD ON LOG_INSTALL ON LOG_OUTPUT_ON_FAILURE ON)

file(MAKE_DIRECTORY ${nlopt_prefix}/include)
add_library(pellix_nlopt STATIC IMPORTED GLOBAL)
set_target_properties(pellix_nlopt PROPERTIES IMPORTED_LOCATION ${nlopt_library})
target_include_directories(pellix_nlopt SYSTEM INTERFACE ${nlopt_prefix}/include)
if(NOT WIN32)
  target_link_libraries(pellix_nlopt INTERFACE m)
endif()
add_dependencies(pellix_nlopt nlopt_build)
