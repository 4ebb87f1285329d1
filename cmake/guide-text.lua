-- pandoc filter for the Notepad guide: the plain writer drops the marks of
-- headings and leaves tables and pictures in forms Notepad shows badly.
local marks = { "", "【", "◆ " }
local ends = { "", "】", "" }

function Header(h)
  local level = math.min(h.level, 3)
  local content = h.content
  content:insert(1, pandoc.Str(marks[level]))
  content:insert(pandoc.Str(ends[level]))
  return pandoc.Para(content)
end

-- A picture is a caption here; the HTML guide shows it.
function Image(img)
  return pandoc.Str("（図: " .. pandoc.utils.stringify(img.caption)
    .. "。画像は neb01-guide-ja.html にあります）")
end

-- A two-column table becomes a list of terms with their text below.
function Table(t)
  local items = {}
  for _, body in ipairs(t.bodies) do
    for _, row in ipairs(body.body) do
      local cells = row.cells
      table.insert(items, { pandoc.utils.blocks_to_inlines(cells[1].contents), { cells[2].contents } })
    end
  end
  return pandoc.DefinitionList(items)
end
