# Writes the HTML Help project that chmcmd compiles into Reradav.chm, from the one help page
# Linux ships: the page itself, its contents (one entry a section, from the <h2 id=...>
# headings) and an index of the same sections. Run as cmake -DPAGE=... -DOUT=... -P this file.
cmake_minimum_required(VERSION 3.25)
foreach(var PAGE OUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "help-project.cmake needs -D${var}=...")
    endif()
endforeach()
file(READ ${PAGE} html)
string(REGEX MATCHALL "<h2 id=\"[^\"]+\">[^<]+</h2>" headings "${html}")
if(NOT headings)
    message(FATAL_ERROR "${PAGE}: no <h2 id=...> headings for the help's contents")
endif()
get_filename_component(name ${PAGE} NAME)
file(MAKE_DIRECTORY ${OUT})
file(COPY_FILE ${PAGE} ${OUT}/${name} ONLY_IF_DIFFERENT)

function(add_entry list title target)
    set(${list} "${${list}}<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"${title}\"><param name=\"Local\" value=\"${target}\"></OBJECT>\n" PARENT_SCOPE)
endfunction()
set(contents "")
set(keywords "")
foreach(heading IN LISTS headings)
    string(REGEX REPLACE "<h2 id=\"([^\"]+)\">([^<]+)</h2>" "\\1;\\2" fields "${heading}")
    list(GET fields 0 id)
    list(GET fields 1 title)
    if(id STREQUAL "contents")  # the page's own table of contents
        continue()
    endif()
    add_entry(contents "${title}" "${name}#${id}")
    list(APPEND keywords "${title}|${name}#${id}")
endforeach()
list(SORT keywords CASE INSENSITIVE)
set(index "")
foreach(keyword IN LISTS keywords)
    string(REPLACE "|" ";" fields "${keyword}")
    list(GET fields 0 title)
    list(GET fields 1 target)
    add_entry(index "${title}" "${target}")
endforeach()

set(sitemap_head "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\n<HTML><HEAD></HEAD><BODY>\n")
file(WRITE ${OUT}/Reradav.hhc "${sitemap_head}<UL>\n")
add_entry(top "Reradav" "${name}")
file(APPEND ${OUT}/Reradav.hhc "${top}<UL>\n${contents}</UL>\n</UL>\n</BODY></HTML>\n")
file(WRITE ${OUT}/Reradav.hhk "${sitemap_head}<UL>\n${index}</UL>\n</BODY></HTML>\n")
# The window "main": the page beside its contents, index and search (tri-pane, search tab,
# contents synced, title from the page, the position given); back, forward, home, print.
file(WRITE ${OUT}/Reradav.hhp "[OPTIONS]
Compatibility=1.1 or later
Compiled file=Reradav.chm
Contents file=Reradav.hhc
Index file=Reradav.hhk
Default topic=${name}
Default Window=main
Full-text search=Yes
Language=0x409 English (United States)
Title=Reradav Help

[WINDOWS]
main=\"Reradav Help\",\"Reradav.hhc\",\"Reradav.hhk\",\"${name}\",\"${name}\",,,,,0x42520,240,0x304e,[60,40,1000,760],,,,,,,0

[FILES]
${name}
")
