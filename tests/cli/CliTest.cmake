# Runs corvella-viewer as a user would and checks exit codes and output.
# Variables: VIEWER, DATA, EXAMPLES, WORK.

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(failures 0)

# Output goes through files and is compared as hex where line ends matter: CMake reads CR LF as LF.
function(expect_run name expected_code stdout_regex stderr_regex)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE code OUTPUT_FILE "${WORK}/${name}.out" ERROR_VARIABLE err)
    file(READ "${WORK}/${name}.out" out)
    if(NOT code STREQUAL "${expected_code}")
        message(SEND_ERROR "${name}: exit code ${code}, expected ${expected_code}\nstdout: ${out}\nstderr: ${err}")
    endif()
    if(NOT out MATCHES "${stdout_regex}")
        message(SEND_ERROR "${name}: stdout does not match '${stdout_regex}':\n${out}")
    endif()
    if(NOT err MATCHES "${stderr_regex}")
        message(SEND_ERROR "${name}: stderr does not match '${stderr_regex}':\n${err}")
    endif()
endfunction()

expect_run(help 0 "Usage: corvella-viewer" "^$" ${VIEWER} --help)
expect_run(version 0 "^corvella-viewer [0-9]+\\.[0-9]+\\.[0-9]+\n$" "^$" ${VIEWER} --version)
expect_run(unknown-option 2 "^$" "unknown option --frobnicate" ${VIEWER} --frobnicate)
expect_run(outline-needs-file 2 "^$" "--outline takes one file" ${VIEWER} --outline)

# The sample map's outline, byte for byte (lines end in CR LF).
execute_process(COMMAND ${VIEWER} --outline "${EXAMPLES}/tour.cvmx" RESULT_VARIABLE code
                OUTPUT_FILE "${WORK}/tour.actual.txt" ERROR_VARIABLE err)
file(READ "${WORK}/tour.actual.txt" out HEX)
file(READ "${DATA}/cli/tour.outline.txt" expected HEX)
if(NOT code EQUAL 0 OR NOT out STREQUAL expected OR NOT err STREQUAL "")
    message(SEND_ERROR "outline of the sample map differs (code ${code}, stderr '${err}'); see ${WORK}/tour.actual.txt")
endif()

expect_run(missing-file 1 "^$" "Cannot open missing.cvmx" ${VIEWER} --outline "${WORK}/missing.cvmx")
expect_run(unsupported 1 "^$" "^Cannot open unsupported file type\n$" ${VIEWER} --outline "${EXAMPLES}")

file(WRITE "${WORK}/broken.cvmx" "<!DOCTYPE corvella-mindmaps>\n<corvella-mindmaps>\n  <mindmap\n")
expect_run(syntax-error 1 "^$" "^Error Unterminated element in line [0-9]+ col [0-9]+\n$"
           ${VIEWER} --outline "${WORK}/broken.cvmx")

file(WRITE "${WORK}/other.cvmx" "<?xml version=\"1.0\"?>\n<opml version=\"2.0\"><body/></opml>\n")
expect_run(not-a-map 0 "^$" "other.cvmx holds no mind map that this program can read" ${VIEWER} --outline "${WORK}/other.cvmx")

file(WRITE "${WORK}/bare.cvmx" "<!DOCTYPE corvella-mindmaps><corvella-mindmaps><mindmap><topics><topic id=\"0\" text=\"Bare\"/><topic id=\"1\" parent=\"0\"/></topics></mindmap></corvella-mindmaps>")
expect_run(bare-xml 0 "^Bare\n\tunnamed topic\n$" "^$" ${VIEWER} --outline "${WORK}/bare.cvmx")
file(READ "${WORK}/bare-xml.out" bare_hex HEX)
string(HEX "Bare\r\n\tunnamed topic\r\n" bare_expected)
if(NOT bare_hex STREQUAL bare_expected)
    message(SEND_ERROR "bare-xml: lines must end in CR LF: ${bare_hex}")
endif()

string(ASCII 80 75 3 4 zip_signature)
file(WRITE "${WORK}/damaged.cvmx" "${zip_signature} this is no archive")
expect_run(damaged-archive 1 "^$" "Cannot open the archive damaged.cvmx" ${VIEWER} --outline "${WORK}/damaged.cvmx")
