-- Run by neovim_test.sh after the README's init.lua snippet, which has set
-- the filetype of the script given as the file to edit and attached zepls
-- to it. Writes the filetypes of that script and of an OTC script, then the
-- diagnostics received, one "line: message" a line, to ZEPLS_RESULT.
local buffer = vim.api.nvim_get_current_buf()
local arrived = vim.wait(10000, function()
  return #vim.diagnostic.get(buffer) > 0
end, 50)
local lines = { "filetype " .. vim.bo[buffer].filetype }
if arrived then
  for _, diagnostic in ipairs(vim.diagnostic.get(buffer)) do
    table.insert(lines, (diagnostic.lnum + 1) .. ": " .. diagnostic.message)
  end
end
vim.cmd("edit b.otc")
table.insert(lines, "filetype " .. vim.bo.filetype)
vim.fn.writefile(lines, os.getenv("ZEPLS_RESULT"))
vim.cmd("qall!")
