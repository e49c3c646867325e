'use strict';
// Runs an external tool and fails with its own error output.
const { execFile } = require('child_process');

function run(tool, args, options = {}) {
  return new Promise((resolve, reject) => {
    execFile(tool, args, { maxBuffer: 16 * 1024 * 1024, ...options }, (error, stdout, stderr) => {
      if (error) {
        const detail = (stderr || '').toString().trim().split('\n').slice(-5).join('\n');
        reject(new Error(`${tool} failed: ${detail || error.message}`));
      } else {
        resolve(stdout);
      }
    });
  });
}

module.exports = { run };
