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
server.name = `io.github.${repo}`;
server.version = version;
server.repository.url = `https://github.com/${repo}`;
const [bundlePackage] = server.packages;
bundlePackage.identifier = `https://github.com/${repo}/releases/download/${tag}/${path.basename(bundle)}`;
bundlePackage.version = version;
bundlePackage.fileSha256 = createHash('sha256').update(fs.readFileSync(bundle)).digest('hex');
fs.writeFileSync(output, JSON.stringify(server, null, 2) + '\n');
console.log(`server.json: ${output} (${server.name} ${version}, ${bundlePackage.identifier})`);
