'use strict';
// S3-compatible test server for the Lattica tests (npm s3rver, pinned in
// package.json). Listens on 127.0.0.1 on a free port and prints
//   PORT <n>
// on stdout, then one line per request:
//   REQ {"method":...,"url":...,"headers":{...}}
// It exits when stdin closes, so it never outlives the test that started it.
//
// Options: --dir DIR (storage folder, required), --key ID --secret SECRET (a
// key pair besides s3rver's own), --bucket NAME (repeatable, created at
// start), --page-size N (max-keys of listings that do not give one),
// --faults FILE (when that file exists, its JSON {"failPut": TEXT} makes every
// PUT whose address holds TEXT fail with 503 SlowDown).

const childProcess = require('child_process');

// Paged v2 listings fail under OpenSSL 3 without the legacy provider.
if (!process.execArgv.includes('--openssl-legacy-provider')) {
  const child = childProcess.spawn(
    process.execPath,
    ['--openssl-legacy-provider', ...process.execArgv, __filename, ...process.argv.slice(2)],
    { stdio: 'inherit' },
  );
  child.on('exit', code => process.exit(code === null ? 1 : code));
  return;
}

const args = process.argv.slice(2);
const opt = { buckets: [] };
for (let i = 0; i < args.length; i += 2) {
  const name = args[i];
  const value = args[i + 1];
  if (name === '--bucket') opt.buckets.push(value);
  else if (name === '--dir') opt.dir = value;
  else if (name === '--key') opt.key = value;
  else if (name === '--secret') opt.secret = value;
  else if (name === '--page-size') opt.pageSize = value;
  else if (name === '--faults') opt.faults = value;
  else {
    process.stderr.write(`s3server: unknown option ${name}\n`);
    process.exit(2);
  }
}
if (!opt.dir) {
  process.stderr.write('s3server: --dir is required\n');
  process.exit(2);
}

// s3rver signs a bucket listing's resource as "/bucket"; the real service
// signs "/bucket/" for it. Make this server check the same before its
// authentication step is loaded. (Object paths are checked as s3rver does,
// each segment RFC 3986-encoded, which is what the real service does too.)
const authPath = require.resolve('s3rver/lib/middleware/authentication');
const originalAuthentication = require(authPath);
require.cache[authPath].exports = () => {
  const inner = originalAuthentication();
  return async function authentication(ctx, next) {
    const bucket = ctx.params.bucket;
    const bucketLevel = Boolean(bucket) && !ctx.params.key && ctx.path.endsWith('/');
    let restored = !bucketLevel;
    const restore = () => {
      if (!restored) {
        ctx.params.bucket = bucket;
        restored = true;
      }
    };
    if (bucketLevel) ctx.params.bucket = bucket + '/';
    try {
      await inner(ctx, () => {
        restore();
        if (opt.pageSize && bucketLevel && ctx.method === 'GET' && !('max-keys' in ctx.query)) {
          ctx.query = { ...ctx.query, 'max-keys': opt.pageSize };
        }
        return next();
      });
    } finally {
      restore();
    }
  };
};

const S3rver = require('s3rver');
const AWSAccount = require('s3rver/lib/models/account');
if (opt.key) AWSAccount.DUMMY_ACCOUNT.createKeyPair(opt.key, opt.secret || '');

const server = new S3rver({
  address: '127.0.0.1',
  port: 0,
  silent: true,
  directory: opt.dir,
  vhostBuckets: false,
  configureBuckets: opt.buckets.map(name => ({ name })),
});

// Journal of what reached the server, for tests that check what was sent.
const journaled = ['x-amz-acl', 'x-amz-meta-rt', 'x-amz-copy-source', 'if-none-match',
  'if-modified-since', 'content-type', 'content-length'];
server.middleware.unshift(async (ctx, next) => {
  const headers = {};
  for (const h of journaled) if (ctx.get(h)) headers[h] = ctx.get(h);
  process.stdout.write('REQ ' + JSON.stringify({ method: ctx.method, url: ctx.originalUrl, headers }) + '\n');
  // HTTP dates have whole seconds; s3rver compares them with its stored
  // milliseconds, so an object stored at 12:00:00.5 would look modified
  // since its own Last-Modified time. Compare at whole seconds, as S3 does.
  if (opt.faults && ctx.method === 'PUT') {
    let faults = {};
    try { faults = JSON.parse(require('fs').readFileSync(opt.faults, 'utf8')); } catch (e) { faults = {}; }
    if (faults.failPut && decodeURIComponent(ctx.originalUrl).includes(faults.failPut)) {
      ctx.status = 503;
      ctx.type = 'application/xml';
      ctx.body = '<?xml version="1.0" encoding="UTF-8"?><Error><Code>SlowDown</Code><Message>Please reduce your request rate.</Message></Error>';
      return;
    }
  }
  const since = Date.parse(ctx.get('if-modified-since'));
  if (!Number.isNaN(since)) ctx.headers['if-modified-since'] = new Date(since + 999).toISOString();
  await next();
});

server.run().then(
  address => {
    process.stdout.write(`PORT ${address.port}\n`);
    process.stdin.on('end', () => process.exit(0));
    process.stdin.on('error', () => process.exit(0));
    process.stdin.resume();
  },
  err => {
    process.stderr.write(`s3server: ${err.message}\n`);
    process.exit(1);
  },
);
