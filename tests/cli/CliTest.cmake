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

# Outlines open through the same path as native maps: imported, turned into native text and read.
file(WRITE "${WORK}/list.opml" "<?xml version=\"1.0\"?>\n<opml version=\"2.0\"><head><title>Trip</title></head><body>\n<outline text=\"Pack\" _note=\"light\"><outline text=\"[x] tent\"/></outline>\n<outline text=\"Go &amp;lt; now\"/></body></opml>\n")
expect_run(outline-opml 0 "^Trip\n\tPack\n\t\\[\n\tlight\n\t\\]\n\t\ttent\n\tGo &lt; now\n$" "^$" ${VIEWER} --outline "${WORK}/list.opml")
file(WRITE "${WORK}/map.MM" "<map version=\"1.0.1\"><node TEXT=\"Centre\"><node TEXT=\"left\" POSITION=\"left\"/><node TEXT=\"right\"/></node></map>\n")
expect_run(outline-freemind 0 "^Centre\n\tleft\n\tright\n$" "^$" ${VIEWER} --outline "${WORK}/map.MM")
file(WRITE "${WORK}/notes.txt" "Root\n\tChild\n\t[\n\tits note\n\t]\nSecond\n\tOther\n")
expect_run(outline-text 0 "^Root\n\tChild\n\t\\[\n\tits note\n\t\\]\nSecond\n\tOther\n$" "^$" ${VIEWER} --outline "${WORK}/notes.txt")
file(WRITE "${WORK}/paper.pdf" "%PDF-1.4\n")
expect_run(outline-empty-kind 0 "^$" "^$" ${VIEWER} --outline "${WORK}/paper.pdf")
file(WRITE "${WORK}/letter.doc" "text\n")
expect_run(unsupported-kind 1 "^$" "^Cannot open unsupported file type\n$" ${VIEWER} --outline "${WORK}/letter.doc")
expect_run(missing-outline 1 "^$" "^Cannot open gone.opml" ${VIEWER} --outline "${WORK}/gone.opml")

# A failed import: the importer's own error first, then the message that the file could not be imported.
file(WRITE "${WORK}/broken.opml" "<opml><body><outline text=\"a\"></body></opml>\n")
expect_run(import-syntax-error 1 "^$"
           "^Error Element start outline does not match element end body in line 1 col [0-9]+\nUnable to import file broken.opml\n$"
           ${VIEWER} --outline "${WORK}/broken.opml")
file(WRITE "${WORK}/page.opml" "Not found.")
expect_run(import-not-opml 1 "^$" "^Invalid opml document\nUnable to import file page.opml\n$"
           ${VIEWER} --outline "${WORK}/page.opml")
file(WRITE "${WORK}/wrong.mm" "<opml/>")
expect_run(import-not-freemind 1 "^$" "^Invalid FreeMind document\nUnable to import file wrong.mm\n$"
           ${VIEWER} --outline "${WORK}/wrong.mm")
string(ASCII 254 255 utf16be_mark)
file(WRITE "${WORK}/wide.txt" "${utf16be_mark}x")
expect_run(import-encoding 1 "^$" "^Unsupported text encoding\n$" ${VIEWER} --outline "${WORK}/wide.txt")

# --export-cvmx keeps what was opened: its outline reads the same, and archive pictures come along.
expect_run(export-needs-two 2 "^$" "--export-cvmx takes an output file and a file" ${VIEWER} --export-cvmx "${WORK}/x.cvmx")
foreach(source IN ITEMS "${WORK}/list.opml" "${WORK}/map.MM" "${WORK}/notes.txt" "${EXAMPLES}/tour.cvmx")
    get_filename_component(stem "${source}" NAME_WE)
    expect_run(export-${stem} 0 "^$" "^$" ${VIEWER} --export-cvmx "${WORK}/${stem}.exported.cvmx" "${source}")
    execute_process(COMMAND ${VIEWER} --outline "${source}" OUTPUT_VARIABLE before)
    execute_process(COMMAND ${VIEWER} --outline "${WORK}/${stem}.exported.cvmx" OUTPUT_VARIABLE after
                    ERROR_VARIABLE after_err)
    if(NOT before STREQUAL after OR NOT after_err STREQUAL "")
        message(SEND_ERROR "export-${stem}: the exported archive reads differently:\n${before}\n---\n${after}\n${after_err}")
    endif()
endforeach()

set(picture "${DATA}/cli/picture.png")
file(MAKE_DIRECTORY "${WORK}/pictured/document" "${WORK}/pictured/images")
file(WRITE "${WORK}/pictured/document/mindmap.xml" "<!DOCTYPE corvella-mindmaps><corvella-mindmaps doc-version=\"3\"><mindmap><topics><topic id=\"0\" text=\"Pictured\"><embedded-image name=\"pic\"/></topic></topics></mindmap></corvella-mindmaps>")
file(COPY_FILE "${picture}" "${WORK}/pictured/images/pic.png")
file(WRITE "${WORK}/pictured/images/broken.png" "no picture")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf "${WORK}/pictured.cvmx" --format=zip document images
                WORKING_DIRECTORY "${WORK}/pictured")
expect_run(export-pictures 0 "^$" "^$" ${VIEWER} --export-cvmx "${WORK}/pictured.exported.cvmx" "${WORK}/pictured.cvmx")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf "${WORK}/pictured.exported.cvmx" OUTPUT_VARIABLE entries)
if(NOT entries STREQUAL "document/mindmap.xml\nimages/pic.png\n")
    message(SEND_ERROR "export-pictures: unexpected entries:\n${entries}")
endif()
file(READ "${picture}" picture_hex HEX)
file(MAKE_DIRECTORY "${WORK}/unpacked")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf "${WORK}/pictured.exported.cvmx" WORKING_DIRECTORY "${WORK}/unpacked")
file(READ "${WORK}/unpacked/images/pic.png" exported_hex HEX)
if(NOT picture_hex STREQUAL exported_hex)
    message(SEND_ERROR "export-pictures: the picture was not kept byte for byte")
endif()
expect_run(export-unwritable 1 "^$" "^Cannot write out.cvmx" ${VIEWER} --export-cvmx "${WORK}/no/such/folder/out.cvmx" "${EXAMPLES}/tour.cvmx")
expect_run(export-from-broken 1 "^$" "Unable to import file broken.opml" ${VIEWER} --export-cvmx "${WORK}/b.cvmx" "${WORK}/broken.opml")
if(EXISTS "${WORK}/b.cvmx")
    message(SEND_ERROR "export-from-broken: an archive was written for a file that did not open")
endif()

# --export-png draws what was opened; a picture too large to make is refused before anything is written.
function(png_size path out_width out_height)
    file(READ "${path}" header LIMIT 24 HEX)
    string(SUBSTRING "${header}" 0 16 signature)
    if(NOT signature STREQUAL "89504e470d0a1a0a")
        message(SEND_ERROR "${path} is not a PNG picture")
    endif()
    string(SUBSTRING "${header}" 32 8 width_hex)
    string(SUBSTRING "${header}" 40 8 height_hex)
    math(EXPR width "0x${width_hex}")
    math(EXPR height "0x${height_hex}")
    set(${out_width} ${width} PARENT_SCOPE)
    set(${out_height} ${height} PARENT_SCOPE)
endfunction()

expect_run(png-needs-two 2 "^$" "--export-png takes an output file, a file" ${VIEWER} --export-png "${WORK}/x.png")
expect_run(png-tour 0 "^$" "^$" ${VIEWER} --export-png "${WORK}/tour.png" "${EXAMPLES}/tour.cvmx")
png_size("${WORK}/tour.png" full_width full_height)
expect_run(png-half 0 "^$" "^$" ${VIEWER} --export-png "${WORK}/half.png" "${EXAMPLES}/tour.cvmx" --zoom 50)
png_size("${WORK}/half.png" half_width half_height)
math(EXPR half_low "${full_width} / 2 - 1")
math(EXPR half_high "${full_width} / 2 + 1")
if(full_width LESS 200 OR half_width LESS half_low OR half_width GREATER half_high)
    message(SEND_ERROR "png zoom: ${full_width} wide at 100 %, ${half_width} at 50 %")
endif()
expect_run(png-outline 0 "^$" "^$" ${VIEWER} --export-png "${WORK}/list.png" "${WORK}/list.opml")
png_size("${WORK}/list.png" list_width list_height)
expect_run(png-bad-zoom 2 "^$" "--zoom takes a percentage" ${VIEWER} --export-png "${WORK}/z.png" "${EXAMPLES}/tour.cvmx" --zoom none)
expect_run(png-too-large 1 "^$" "larger than 32767 pixels a side.*try a smaller --zoom"
           ${VIEWER} --export-png "${WORK}/huge.png" "${EXAMPLES}/tour.cvmx" --zoom 9000)
if(EXISTS "${WORK}/huge.png")
    message(SEND_ERROR "png-too-large: a picture was written")
endif()
expect_run(png-missing 1 "^$" "Cannot open missing.cvmx" ${VIEWER} --export-png "${WORK}/m.png" "${WORK}/missing.cvmx")
