# Install rules and the Debian package.

# The icon is drawn from the module picture by a small build-time tool.
add_executable(quorval-icon tools/module_icon.cpp view/ModulePixels.cpp)
target_include_directories(quorval-icon PRIVATE ${PROJECT_SOURCE_DIR})
set(QUORVAL_ICON ${PROJECT_BINARY_DIR}/quorval-setup.svg)
add_custom_command(OUTPUT ${QUORVAL_ICON}
    COMMAND quorval-icon ${QUORVAL_ICON}
    DEPENDS quorval-icon
    VERBATIM)
add_custom_target(quorval-setup-icon ALL DEPENDS ${QUORVAL_ICON})
