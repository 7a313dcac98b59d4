-- pandoc filter: a relative link to a Markdown guide (name.md, name.md#anchor) leads to the HTML
-- page made from it beside the others; web addresses and other files stay as they are.
function Link(link)
  if not link.target:match("^%a[%w+.-]*:") then
    link.target = link.target:gsub("^([^#]*)%.md(#?.*)$", "%1.html%2")
  end
  return link
end
