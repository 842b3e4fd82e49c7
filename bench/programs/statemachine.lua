-- A state machine: the state picks what each step does, driven by a pseudo-random sequence.
local function run(n)
  local state = 0
  local x = 1
  local a, b, c, d = 0, 0, 0, 0
  for _ = 1, n do
    x = (x * 75 + 74) % 65537
    if state == 0 then
      if x % 2 == 0 then state = 1 else state = 2 end
    elseif state == 1 then
      a = a + 1
      if x % 3 == 0 then state = 3 else state = 0 end
    elseif state == 2 then
      b = b + 1
      state = 3
    elseif state == 3 then
      c = c + x % 7
      if x % 5 == 0 then state = 4 else state = 0 end
    else
      d = d + 1
      state = 0
    end
  end
  print("a = " .. a .. ", b = " .. b .. ", c = " .. c .. ", d = " .. d)
end

run(32000000)
