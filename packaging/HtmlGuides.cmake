# The guides as HTML beside their Markdown, made by pandoc (Debian's package; scripts/install-deps.sh
# installs it) when the build runs:
#   kalvix_install_guide(<guide.md relative to the sources> <install folder> <component>)
# installs the Markdown and the HTML made from it. Links between the guides name the .md files;
# in the HTML they lead to the .html files beside them (md-links-to-html.lua). Headings get the
# anchors GitHub gives them, so the guides' tables of contents work in both forms.
find_program(KALVIX_PANDOC pandoc)
if(NOT KALVIX_PANDOC)
  message(WARNING "pandoc not found (scripts/install-deps.sh installs it): the package holds no HTML guides")
endif()
add_custom_target(kalvix_html_guides ALL)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/guides)

function(kalvix_install_guide source destination component)
  set(markdown ${PROJECT_SOURCE_DIR}/${source})
  install(FILES ${markdown} DESTINATION ${destination} COMPONENT ${component})
  if(NOT KALVIX_PANDOC)
    return()
  endif()
  get_filename_component(name ${source} NAME_WE)
  set(html ${CMAKE_BINARY_DIR}/guides/${name}.html)
  # The page's title is the guide's first heading.
  file(STRINGS ${markdown} title LIMIT_COUNT 1 REGEX "^# ")
  string(REGEX REPLACE "^# " "" title "${title}")
  set(filter ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/md-links-to-html.lua)
  add_custom_command(OUTPUT ${html}
    COMMAND ${KALVIX_PANDOC} --from gfm --to html5 --standalone --wrap=none --metadata "pagetitle=${title}"
            --lua-filter ${filter} --output ${html} ${markdown}
    DEPENDS ${markdown} ${filter}
    COMMENT "HTML guide ${name}.html")
  add_custom_target(kalvix_html_${name} DEPENDS ${html})
  add_dependencies(kalvix_html_guides kalvix_html_${name})
  install(FILES ${html} DESTINATION ${destination} COMPONENT ${component})
endfunction()
