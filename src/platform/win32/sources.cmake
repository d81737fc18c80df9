# The Windows platform layer; src/CMakeLists.txt includes this file on Windows.
target_sources(sizewalk_core PRIVATE
    platform/win32/errors.cpp
    platform/win32/file_service.cpp
    platform/win32/folder_service.cpp
    platform/win32/history_system.cpp
    platform/win32/long_path.cpp
    platform/win32/platform.cpp
    platform/win32/text.cpp
)

enable_language(RC)
set(SIZEWALK_WIN32_DIR ${CMAKE_CURRENT_LIST_DIR})

# The version resource shows as "2.00.0002": minor two digits, revision four.
string(LENGTH "${PROJECT_VERSION_MINOR}" _minor_digits)
string(LENGTH "${PROJECT_VERSION_PATCH}" _revision_digits)
math(EXPR _minor_pad "2 - ${_minor_digits}")
math(EXPR _revision_pad "4 - ${_revision_digits}")
string(REPEAT "0" ${_minor_pad} _minor_zeros)
string(REPEAT "0" ${_revision_pad} _revision_zeros)
set(SIZEWALK_RESOURCE_VERSION
    "${PROJECT_VERSION_MAJOR}.${_minor_zeros}${PROJECT_VERSION_MINOR}.${_revision_zeros}${PROJECT_VERSION_PATCH}")
configure_file(${SIZEWALK_WIN32_DIR}/sizewalk.rc.in ${CMAKE_CURRENT_BINARY_DIR}/generated/sizewalk.rc
               @ONLY)

# The unattended program: a Windows program (a scheduled run opens no console
# window) whose entry point reads the process command line itself.
function(sizewalk_add_win32_program name)
    add_executable(${name} WIN32
        ${PROJECT_SOURCE_DIR}/src/startup/main_win32.cpp
        ${CMAKE_CURRENT_BINARY_DIR}/generated/sizewalk.rc)
    target_link_libraries(${name} PRIVATE sizewalk_core)
    target_link_options(${name} PRIVATE -municode)
endfunction()
