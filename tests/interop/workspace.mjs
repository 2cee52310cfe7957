// What both official clients' tests share: the binary and source folder from
// CTest, a demo entry, the tool names in catalog order, a scratch vault, and the child's environment.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

export const binary = process.env.QS_BINARY;
export const sourceDir = process.env.QS_SOURCE_DIR;
assert.ok(binary && sourceDir, 'QS_BINARY and QS_SOURCE_DIR must be set');

// A voice entry of the demo vault with its transcript, minutes and summary.
export const entry = 'CA35DAB8-DCA0-418A-A388-369CBF54A473';

export const toolNames = [
  'vault_search', 'recording_list', 'recording_transcript', 'minutes_read',
  'vocab_list', 'report_daily', 'minutes_write', 'diary_write',
];

// A private copy of the demo vault, so the write tools never touch the one in
// the repository, and an empty home so no iCloud Drive folder is found.
export function makeWorkspace() {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'qs-interop-'));
  const vault = path.join(root, 'vault');
  fs.cpSync(path.join(sourceDir, 'examples', 'demo-vault'), vault, { recursive: true });
  const home = path.join(root, 'home');
  fs.mkdirSync(home);
  return { root, vault, home };
}

// What a host passes, plus the sanitizer settings a sanitizer build needs.
export function childEnv(workspace) {
  const env = { HOME: workspace.home, LANG: 'C.UTF-8', PATH: process.env.PATH ?? '/usr/bin:/bin' };
  for (const keep of ['ASAN_OPTIONS', 'UBSAN_OPTIONS', 'LSAN_OPTIONS']) {
    if (process.env[keep]) env[keep] = process.env[keep];
  }
  return env;
}
