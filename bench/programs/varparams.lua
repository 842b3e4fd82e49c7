-- Calls with var parameters: a routine that updates its arguments, called in a loop.
-- Lua has no var parameters; the routine returns the new values instead.
local function advance(a, b, steps)
  a = (a * 3 + b) % 1000
  b = (b + a + 7) % 1013
  return a, b, steps + 1
end

local function run(n)
  local a, b, steps = 1, 2, 0
  for _ = 1, n do
    a, b, steps = advance(a, b, steps)
  end
  print("a = " .. a .. ", b = " .. b .. ", steps = " .. steps)
end

run(20000000)
