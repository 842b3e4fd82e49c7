-- Calls into the runtime library: number to text, length, search and substring.
local function run(n)
  local digits = 0
  local sevens = 0
  local tails = 0
  for i = 1, n do
    local s = tostring(i)
    digits = digits + #s
    if s:find("7", 1, true) then
      sevens = sevens + 1
    end
    if s:sub(2, 3) == "00" then
      tails = tails + 1
    end
  end
  print("digits = " .. digits .. ", sevens = " .. sevens .. ", tails = " .. tails)
end

run(4000000)
