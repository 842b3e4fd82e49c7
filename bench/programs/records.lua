-- An array of records: fill, update the fields again and again, then sum.
local function run(n, rounds)
  local items = {}
  for i = 1, n do
    items[i] = { id = i, qty = i % 10 + 1, price = i % 100 + 1, total = 0 }
  end
  for r = 1, rounds do
    for i = 1, n do
      local item = items[i]
      item.total = item.total + item.qty * item.price
      if (item.id + r) % 5 == 0 then
        item.qty = item.qty % 10 + 1
      end
    end
  end
  local sum = 0
  for i = 1, n do
    sum = (sum + items[i].total) % 1000000007
  end
  print("sum = " .. sum)
end

run(100000, 150)
