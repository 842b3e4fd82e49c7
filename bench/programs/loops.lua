-- Integer loops: arithmetic in nested loops.
local function run(n)
  local total = 0
  local hits = 0
  for i = 1, n do
    for j = 1, n do
      total = (total + i * j + (i - j)) % 1000003
      if (i + j) % 7 == 0 then
        hits = hits + 1
      end
    end
  end
  print("total = " .. total)
  print("hits = " .. hits)
end

run(7000)
