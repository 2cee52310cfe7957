#!/usr/bin/env node
// Writes the MCP Registry's server.json of a release from
// packaging/registry/server.in.json: the name and repository from the GitHub
// repository, the version from the tag, and the darwin bundle as the package,
// by its release download URL and the SHA-256 a client checks it against.
//   node scripts/fill-server-json.mjs <owner/repo> <tag> <darwin .mcpb> <output>
import { createHash } from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const [repo, tag, bundle, output] = process.argv.slice(2);
if (!output || !/^[^/]+\/[^/]+$/.test(repo) || !/^v\d/.test(tag)) {
  console.error('usage: fill-server-json.mjs <owner/repo> <tag v…> <darwin .mcpb> <output>');
  process.exit(2);
}
const here = path.dirname(fileURLToPath(import.meta.url));
const server = JSON.parse(fs.readFileSync(path.join(here, '..', 'packaging', 'registry', 'server.in.json'), 'utf8'));
const version = tag.slice(1);
const [template] = server.packages;
const bundlePackage = {
  registryType: template.registryType,
  identifier: `https://github.com/${repo}/releases/download/${tag}/${path.basename(bundle)}`,
  version,
  fileSha256: createHash('sha256').update(fs.readFileSync(bundle)).digest('hex'),
  ...template,
};
const filled = {
  $schema: server.$schema,
  name: `io.github.${repo}`,
  version,
  ...server,
  repository: { ...server.repository, url: `https://github.com/${repo}` },
  packages: [bundlePackage],
};
fs.writeFileSync(output, JSON.stringify(filled, null, 2) + '\n');
console.log(`server.json: ${output} (${filled.name} ${version}, ${bundlePackage.identifier})`);
