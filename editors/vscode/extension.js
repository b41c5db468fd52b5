// Starts zepls for OTD and OTC scripts and stops it with the editor.
const vscode = require('vscode');
const { LanguageClient, TransportKind } = require('vscode-languageclient/node');

let client;

function activate(context) {
  const command = vscode.workspace.getConfiguration('zepls').get('path') || 'zepls';
  const server = { command, transport: TransportKind.stdio };
  client = new LanguageClient('zepls', 'zepls', server, {
    documentSelector: [
      { scheme: 'file', language: 'otd' },
      { scheme: 'file', language: 'otc' },
    ],
  });
  context.subscriptions.push({ dispose: () => client && client.stop() });
  return client.start();
}

function deactivate() {
  return client ? client.stop() : undefined;
}

module.exports = { activate, deactivate };
