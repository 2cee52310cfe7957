# QS_STATIC_DEPS: ICU and simdjson linked statically, so the bundled binary
# needs nothing on the host beyond the C and C++ runtimes. Defines the same
# targets as the shared find_package calls (ICU::uc, ICU::i18n,
# simdjson::simdjson), so the layers link them unchanged.

# Debian's libicu-dev and Homebrew's icu4c ship the static archives next to
# the shared ones.
set(qs_saved_suffixes ${CMAKE_FIND_LIBRARY_SUFFIXES})
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
find_package(ICU REQUIRED COMPONENTS uc i18n data)
# SQLite with FTS5: Debian's libsqlite3-dev ships libsqlite3.a. On macOS the
# system's own libsqlite3 (FTS5 built in) is one of the libraries every Mac has.
if(NOT APPLE)
  find_package(SQLite3 3.20 REQUIRED)
endif()
set(CMAKE_FIND_LIBRARY_SUFFIXES ${qs_saved_suffixes})
if(APPLE)
  find_package(SQLite3 3.20 REQUIRED)
endif()
# Static archives carry no dependency list: i18n needs uc, uc needs the data
# and the dynamic loader functions it calls (dlopen for plug-ins).
set_property(TARGET ICU::i18n APPEND PROPERTY INTERFACE_LINK_LIBRARIES ICU::uc)
set_property(TARGET ICU::uc APPEND PROPERTY INTERFACE_LINK_LIBRARIES ICU::data ${CMAKE_DL_LIBS})
# The static SQLite calls into libm, libdl and the thread library.
find_package(Threads REQUIRED)
if(NOT APPLE)
  set_property(TARGET SQLite::SQLite3 APPEND PROPERTY INTERFACE_LINK_LIBRARIES Threads::Threads m ${CMAKE_DL_LIBS})
endif()

# simdjson is shipped only as a shared library; build its amalgamated source,
# taken from the distribution's source package of the same version.
set(QS_SIMDJSON_SOURCE "${CMAKE_BINARY_DIR}/simdjson-src" CACHE PATH
    "Folder with simdjson.cpp and simdjson.h matching the installed simdjson.h")
if(APPLE)
  # No source package to ask on macOS: the caller hands over the amalgamation
  # of the very release Homebrew installed (the macOS workflow takes it from
  # `brew fetch --build-from-source simdjson`).
  if(NOT EXISTS "${QS_SIMDJSON_SOURCE}/simdjson.cpp")
    message(FATAL_ERROR "QS_STATIC_DEPS: set QS_SIMDJSON_SOURCE to a folder holding simdjson.cpp and "
                        "simdjson.h of the installed simdjson's release")
  endif()
else()
  execute_process(COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/simdjson_source.sh ${QS_SIMDJSON_SOURCE}
                  RESULT_VARIABLE qs_simdjson_result)
  if(NOT qs_simdjson_result EQUAL 0)
    message(FATAL_ERROR "QS_STATIC_DEPS: could not provide simdjson.cpp in ${QS_SIMDJSON_SOURCE}")
  endif()
endif()
find_package(Threads REQUIRED)
add_library(qs_simdjson_static STATIC ${QS_SIMDJSON_SOURCE}/simdjson.cpp)
target_include_directories(qs_simdjson_static SYSTEM PUBLIC ${QS_SIMDJSON_SOURCE})
# The definition the shared library's package exports, so both builds agree.
target_compile_definitions(qs_simdjson_static PUBLIC SIMDJSON_THREADS_ENABLED=1)
target_link_libraries(qs_simdjson_static PUBLIC Threads::Threads)
# Third-party code: our warning flags (and -Werror) are not its concern.
target_compile_options(qs_simdjson_static PRIVATE -w)
add_library(simdjson::simdjson ALIAS qs_simdjson_static)
