-- A sieve of Eratosthenes over an array, run several times.
local function sieve(flags, n)
  for i = 2, n do
    flags[i] = true
  end
  local count = 0
  for i = 2, n do
    if flags[i] then
      count = count + 1
      local j = i + i
      while j <= n do
        flags[j] = false
        j = j + i
      end
    end
  end
  return count
end

local function run(n, rounds)
  local flags = {}
  local count = 0
  for _ = 1, rounds do
    count = sieve(flags, n)
  end
  print("primes up to " .. n .. " = " .. count)
end

run(1000000, 10)
