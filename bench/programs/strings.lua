-- String building and scanning: append characters one at a time, then count some of them.
local function build(n)
  local parts = {}
  for i = 1, n do
    parts[i] = string.char(97 + (i * 7) % 26)
  end
  return table.concat(parts)
end

local function count_vowels(s)
  local count = 0
  for i = 1, #s do
    local c = s:byte(i)
    if c == 97 or c == 101 or c == 105 or c == 111 or c == 117 then
      count = count + 1
    end
  end
  return count
end

local function run(n, rounds)
  local total = 0
  local len = 0
  for _ = 1, rounds do
    local s = build(n)
    len = #s
    total = total + count_vowels(s)
  end
  print("length = " .. len)
  print("vowels = " .. total)
end

run(500000, 12)
