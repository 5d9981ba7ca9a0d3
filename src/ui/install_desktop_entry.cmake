# Runs at install time: writes the desktop entry with the absolute path of the
# installed program, which is known only once the prefix is (cmake --install
# --prefix may change it), and installs it.
#   tallowick_desktop_in, tallowick_desktop_out: template and generated file

set(program "${CMAKE_INSTALL_PREFIX}/opt/tallowick/tallowick")
# Quoted for the Exec key: a backslash, quote, back quote or dollar sign is
# escaped inside the quotes, the backslashes once more for the string value,
# and a percent sign is doubled.
string(REPLACE "\\" "\\\\\\\\" exec "${program}")
string(REPLACE "\"" "\\\\\"" exec "${exec}")
string(REPLACE "`" "\\\\`" exec "${exec}")
string(REPLACE "$" "\\\\$" exec "${exec}")
string(REPLACE "%" "%%" exec "${exec}")
set(tallowick_desktop_exec "\"${exec}\"")
set(tallowick_desktop_icon tallowick)
configure_file("${tallowick_desktop_in}" "${tallowick_desktop_out}" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications" TYPE FILE
     FILES "${tallowick_desktop_out}")
