-- pandoc filter for the HTML guide. east_asian_line_breaks drops a source
-- line break between two Japanese characters; one after Japanese
-- punctuation or before an opening bracket is no space either.
local closing = { [0x3001] = true, [0x3002] = true, [0x300D] = true, [0x300F] = true,
                  [0x3011] = true, [0xFF09] = true, [0xFF1A] = true }
local opening = { [0x300C] = true, [0x300E] = true, [0x3010] = true, [0xFF08] = true }

local function last(s) return #s > 0 and utf8.codepoint(s, utf8.offset(s, -1)) or 0 end
local function first(s) return #s > 0 and utf8.codepoint(s, 1) or 0 end

function Inlines(inlines)
  for i = #inlines - 1, 2, -1 do
    if inlines[i].t == "SoftBreak"
        and (closing[last(pandoc.utils.stringify(inlines[i - 1]))]
             or opening[first(pandoc.utils.stringify(inlines[i + 1]))]) then
      inlines:remove(i)
    end
  end
  return inlines
end
