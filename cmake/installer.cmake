# Windows build, after kestrel.exe and the e2e programs are defined (included at the end of windows.cmake):
#  - the installer kestrel-setup-<version>.exe, made by NSIS from installer/kestrel.nsi (only when makensis is
#    found: Debian's package nsis, or NSIS on Windows);
#  - bench_wine.exe, the measuring program of scripts/bench.sh. It lives in bench/wine/, not tests/e2e/,
#    because it is no test: the e2e harness runs every program built from tests/e2e. It shares the e2e
#    programs' helpers for driving kestrel.exe (tests/common/win32/drive.h).

find_program(KESTREL_MAKENSIS makensis HINTS "$ENV{ProgramFiles}/NSIS" "C:/Program Files (x86)/NSIS")
if(KESTREL_MAKENSIS)
    set(KESTREL_SETUP_EXE ${CMAKE_BINARY_DIR}/kestrel-setup-${PROJECT_VERSION}.exe)
    # makensis works from the script's folder: the script finds the icon relative to it.
    add_custom_command(
        OUTPUT ${KESTREL_SETUP_EXE}
        COMMAND ${KESTREL_MAKENSIS} -V2 -WX -DVERSION=${PROJECT_VERSION} -DEXE=$<TARGET_FILE:kestrel>
                -DOUTFILE=${KESTREL_SETUP_EXE} ${CMAKE_SOURCE_DIR}/installer/kestrel.nsi
        DEPENDS kestrel ${CMAKE_SOURCE_DIR}/installer/kestrel.nsi ${CMAKE_SOURCE_DIR}/res/kestrel.ico
                ${KESTREL_GUIDE_FILES}
        COMMENT "Packing kestrel-setup-${PROJECT_VERSION}.exe"
        VERBATIM)
    add_custom_target(installer ALL DEPENDS ${KESTREL_SETUP_EXE})
    # The installer's e2e test counts as built only with an installer of the current kestrel.exe beside it.
    if(TARGET e2e_installer)
        add_dependencies(e2e_installer installer)
    endif()
else()
    message(STATUS "makensis not found: no installer (install NSIS, Debian package nsis)")
endif()

if(EXISTS ${CMAKE_SOURCE_DIR}/bench/wine/bench_wine.cpp)
    add_executable(bench_wine ${CMAKE_SOURCE_DIR}/bench/wine/bench_wine.cpp)
    target_link_libraries(bench_wine PRIVATE kestrel_win32_platform user32 psapi)
    target_include_directories(bench_wine PRIVATE ${CMAKE_SOURCE_DIR}/tests)
endif()
