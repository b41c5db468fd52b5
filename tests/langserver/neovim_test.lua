-- Run by neovim_test.sh: Neovim's own client starts zepls on the script
-- given as the file to edit and writes the diagnostics it receives, one
-- "line: message" a line, to the file named by ZEPLS_RESULT.
local buffer = vim.api.nvim_get_current_buf()
-- start_client and buf_attach_client: Debian's Neovim 0.7 has no vim.lsp.start.
local client = vim.lsp.start_client({ name = "zepls", cmd = { os.getenv("ZEPLS") }, root_dir = vim.fn.getcwd() })
vim.lsp.buf_attach_client(buffer, client)
local arrived = vim.wait(10000, function()
  return #vim.diagnostic.get(buffer) > 0
end, 50)
local lines = {}
if arrived then
  for _, diagnostic in ipairs(vim.diagnostic.get(buffer)) do
    table.insert(lines, (diagnostic.lnum + 1) .. ": " .. diagnostic.message)
  end
end
vim.fn.writefile(lines, os.getenv("ZEPLS_RESULT"))
vim.cmd("qall!")
